#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal standing in for a serial line: the program opens the slave side by name
// (usually through a COMn link); the test reads what arrives on the master. The test keeps its
// own slave descriptor open so the line never hangs up while the program closes and re-opens.
class TestPty
{
public:
    TestPty();
    ~TestPty();
    TestPty(const TestPty &) = delete;
    TestPty &operator=(const TestPty &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Makes `dir`/COMn a symbolic link to the slave.
    bool linkAs(const QString &dir, int port = 1) const;
    // Everything that has arrived, reading until the line has been quiet for `quietMs`: the
    // kernel hands bytes from the slave to the master a moment after they were written.
    QByteArray readAvailable(int quietMs = 0);
    // The output speed the program set on the line, in bits per second.
    int speed() const;
    // Bytes from the far side, as a display talking back would send them.
    bool write(const QByteArray &bytes);
    // Hangs the line up, as an unplugged adapter would.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
