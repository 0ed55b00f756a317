#pragma once

#include <QString>

#include <memory>
#include <utility>

// The operating system's words for an errno value.
QString systemReason(int error);

// A file descriptor that is closed with its owner.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1);

private:
    int m_fd;
};

// The start-up directory, held by a descriptor taken when the program started. What lives in it
// (the COMn entries, PoleSet.ini) is looked up relative to that descriptor, so neither the
// directory's name, in whatever encoding, nor the permissions of its parents play a part. Copies
// share the one descriptor. A default StartDir stands for the current directory at the time of
// each use.
class StartDir
{
public:
    StartDir() = default;
    // Opens `path` as a directory; a failure is kept and reported by every use.
    explicit StartDir(const QString &path);
    // The current directory, opened now.
    static StartDir current();

    // For the *at calls: AT_FDCWD for a default StartDir, -1 when opening failed.
    int fd() const;
    // Its errno; 0 when it was opened.
    int errorNumber() const;
    // Its path as the program shows it; only for texts, never for finding files.
    QString path() const;

private:
    struct Handle;
    std::shared_ptr<const Handle> m_handle;
};
