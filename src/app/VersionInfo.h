#pragma once

#include <QString>

// The text of the version box: product, version, copyright and comments.
QString versionMessage(const QString &product, int major, int minor, const QString &copyright,
                       const QString &comments);
// The same for this build.
QString versionMessage();
