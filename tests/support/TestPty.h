#pragma once

#include "ComLink.h"
#include "PseudoTerminal.h"

#include <QDir>

// The simulator's pseudo-terminal as a test's serial line, linked as COM1 the simulator's way:
// the program opens the slave, the test reads the master and can hang the line up.
struct TestPty : PseudoTerminal
{
    QString error;
    bool valid = open(&error);
    bool linkAs(const QString &dir)
    {
        return valid &&
               claimComLink(QDir(dir).filePath(QStringLiteral("COM1")), slavePath(), &error);
    }
};
