#include "Clock.h"
#include "CommandLine.h"
#include "Define.h"
#include "FrmMain.h"
#include "MessageBoxPrompter.h"
#include "QtPortAdapter.h"
#include "RunWindow.h"
#include "TerminationSignals.h"
#include "UiMetrics.h"

#include <QApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A launcher may start the program with 0, 1 or 2 closed. The next file opened would take that
// number: the display server's socket as "standard error" would receive the first warning. Gives
// whether standard output was closed.
bool openClosedStandardDescriptors()
{
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputClosed = outputClosed || fd == STDOUT_FILENO;
        // The lowest free number is this one: those below it are open by now.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    return outputClosed;
}

// What the terminal side prints is its product: output that does not reach its file or pipe
// turns the status into a failure, said on standard error (as the shell's own tools do at exit).
// A reader that went away (a closed pipe) is no one to tell.
int writeStandardOutput(int status, const QByteArray &text, bool outputClosed)
{
    int error = 0;
    if (!text.isEmpty() && outputClosed)
        error = EBADF;
    else if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
             std::fflush(stdout) != 0 || (::close(STDOUT_FILENO) != 0 && errno != EBADF))
        error = errno;
    if (error == 0 || error == EPIPE)
        return status;
    std::fprintf(stderr, "poleset: the standard output could not be written: %s\n",
                 error == EBADF ? "it is closed" : std::strerror(error));
    return status == 0 ? 1 : status;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool outputClosed = openClosedStandardDescriptors();

    // PoleSet's own options are for the terminal side, which needs no display server.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (wantsCommandLine(arguments)) {
        QCoreApplication app(argc, argv);
        QString printed;
        QTextStream out(&printed);
        QTextStream err(stderr);
        const int status = runCommandLine(QCoreApplication::arguments(), out, err);
        out.flush();
        return writeStandardOutput(status, printed.toLocal8Bit(), outputClosed);
    }

    // Only Qt's own options (-platform, -style, -reverse, ...) go on to the application object,
    // and only when there is a screen: Qt itself would abort without one.
    {
        QTextStream err(stderr);
        const int status =
            checkWindowStart(arguments, QProcessEnvironment::systemEnvironment(), err);
        if (status >= 0)
            return status;
    }
    QApplication app(argc, argv);
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vantor_qs.PoleSet"));
    installFontSubstitutions();

    Define define;
    define.AppDir = QDir::currentPath();
    define.startDir = StartDir::current();
    QtPortAdapter port(define.startDir);
    SystemClock clock;
    MessageBoxPrompter boxes;
    QTextStream err(stderr);
    EndablePrompter prompter(boxes, err, [&boxes] { boxes.closeOpenBox(); });
    FrmMain window(define, port, clock, prompter);
    boxes.setParent(&window);

    TerminationSignals termination;
    return runWindow(window, termination, &prompter);
}
