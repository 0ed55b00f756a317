#pragma once

#include <QString>

// The COMn entry through which PoleSet finds the simulated display: a symbolic link in PoleSet's
// start-up directory to the pseudo-terminal's slave. The simulator replaces or removes only
// links it can tell are its own or dead, never anything a user put there.

// Makes linkPath a symbolic link to target. A missing entry is created; a symbolic link into
// /dev/pts/ whose device no longer exists (left by a simulator that was killed) is replaced.
// Anything else (a file, a directory, a live or foreign link) is refused, the reason in *error.
bool claimComLink(const QString &linkPath, const QString &target, QString *error);

// Removes linkPath if it is still a symbolic link to target; anything else is left alone.
bool releaseComLink(const QString &linkPath, const QString &target);
