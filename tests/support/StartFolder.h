#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <filesystem>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

// A start-up folder whose name may be any bytes, made in a parent folder and entered as the
// program starts in it: files go in by their plain names, through POSIX calls (Qt makes a name
// absolute through a path it cannot spell). Afterwards the folders can be closed
// and lookups made as user nobody (the file-system user id only, which also takes root's
// file-system powers away) until the rig ends. Needs root.
struct StartFolder
{
    QTemporaryDir top;
    QString previous = QDir::currentPath();
    QByteArray parent = QFile::encodeName(top.filePath(QStringLiteral("parent")));
    QByteArray path;
    bool entered;

    explicit StartFolder(const QByteArray &name)
        : path(parent + '/' + name)
        , entered(::mkdir(parent.constData(), 0755) == 0 && ::mkdir(path.constData(), 0755) == 0 &&
                  ::chdir(path.constData()) == 0)
    {}
    ~StartFolder()
    {
        ::setfsuid(0);
        QDir::setCurrent(previous);
        std::error_code ignored;
        std::filesystem::remove_all(parent.toStdString(), ignored);
    }
    bool closeAsNobody(mode_t parentMode, mode_t mode) const
    {
        return ::chmod(parent.constData(), parentMode) == 0 &&
               ::chmod(path.constData(), mode) == 0 && ::setfsuid(65534) >= 0;
    }
};
