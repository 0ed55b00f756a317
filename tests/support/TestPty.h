#pragma once

#include "PseudoTerminal.h"

#include <QDir>
#include <QFile>

// The simulator's pseudo-terminal as a test's serial line: the program opens the slave (usually
// through a COMn link), the test reads what arrives on the master and can hang the line up.
struct TestPty : PseudoTerminal
{
    TestPty() { m_valid = open(&m_error); }
    bool isValid() const { return m_valid; }
    // Makes `dir`/COMn a symbolic link to the slave.
    bool linkAs(const QString &dir, int port = 1) const
    {
        const QString link = QDir(dir).filePath(QStringLiteral("COM%1").arg(port));
        QFile::remove(link);
        return QFile::link(slavePath(), link);
    }
    int speed() const { return lineSpeed(); }

private:
    bool m_valid;
    QString m_error;
};
