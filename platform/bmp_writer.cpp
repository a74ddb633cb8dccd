#include "bmp_writer.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quilfen {

namespace {

// What a target is when it is not a regular file.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a file");
}

// Reports a failure; errno is taken by the caller right after the failing call.
bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

bool failWithErrno(QString* error, int errorNumber)
{
    return fail(error, QString::fromLocal8Bit(std::strerror(errorNumber)));
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// Writes all of data to fd; returns 0 or the errno of the failing write.
int writeAll(int fd, const QByteArray& data)
{
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<std::size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        next += written;
        left -= written;
    }
    return 0;
}

// A temporary file in the folder, created new with the usual permission
// bits; returns the descriptor, or -1 with errno set.
int createTemporary(const QByteArray& folder, QByteArray& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.quilfen-" +
               QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

bool writeBmpAtomically(const QImage& image, const QString& path, QString* error)
{
    return writeBmpAtomically(image, QFile::encodeName(path), error);
}

bool writeBmpAtomically(const QImage& image, const QByteArray& nativePath, QString* error)
{
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return failWithErrno(error, ENOENT);

    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "BMP");
        if (!writer.write(image))
            return fail(error, writer.errorString());
    }

    // The target as it is now: only a regular file may be replaced, and a
    // link to one is followed so that the link itself stays.
    QByteArray target = nativePath;
    struct stat old {};
    const bool exists = ::stat(nativePath.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return failWithErrno(error, errno);
    if (exists && !S_ISREG(old.st_mode))
        return fail(error, QStringLiteral("it is %1, not a regular file").arg(kindOf(old.st_mode)));
    if (exists) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(nativePath.constData(), nullptr),
                                                                   &std::free);
        if (!resolved)
            return failWithErrno(error, errno);
        target = resolved.get();
    }

    QByteArray temporary;
    const int fd = createTemporary(folderOf(target), temporary);
    if (fd < 0)
        return failWithErrno(error, errno);

    int errorNumber = 0;
    if (exists && ::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        errorNumber = errno;
    // After the owner: a change of owner clears the set-user and set-group bits.
    if (errorNumber == 0 && exists && ::fchmod(fd, old.st_mode & 07777) != 0)
        errorNumber = errno;
    if (errorNumber == 0)
        errorNumber = writeAll(fd, bytes);
    if (errorNumber == 0 && ::fsync(fd) != 0)
        errorNumber = errno;
    if (::close(fd) != 0 && errorNumber == 0)
        errorNumber = errno;
    if (errorNumber == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        errorNumber = errno;
    if (errorNumber != 0) {
        ::unlink(temporary.constData());
        return failWithErrno(error, errorNumber);
    }
    return true;
}

}  // namespace quilfen
