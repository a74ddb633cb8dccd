#include "platform/image/bmp_writer.h"

#include <QFile>
#include <QIODevice>
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

// The image writer's output straight into a descriptor, keeping the errno
// of a failed write (Qt's own file classes report some failures only as
// "Unknown error"). Sequential, so a handler that wanted to seek would fail
// rather than write in the wrong place.
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int fd) : m_fd(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    bool isSequential() const override { return true; }
    int errorNumber() const { return m_errorNumber; }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t written = ::write(m_fd, data + done, static_cast<std::size_t>(size - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0) {
                m_errorNumber = errno;
                return -1;
            }
            done += written;
        }
        return done;
    }

private:
    int m_fd;
    int m_errorNumber = 0;
};

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

bool writeBmpAtomically(const QImage& image, const QString& path, QString* error,
                        const char* format)
{
    return writeBmpAtomically(image, QFile::encodeName(path), error, format);
}

bool writeBmpAtomically(const QImage& image, const QByteArray& nativePath, QString* error,
                        const char* format)
{
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return failWithErrno(error, ENOENT);

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
    // A failure of the image writer itself (not of a write) has only its text.
    bool encoded = true;
    QString writerError;
    if (errorNumber == 0) {
        DescriptorDevice device(fd);
        QImageWriter writer(&device, format);
        if (!writer.write(image)) {
            encoded = false;
            errorNumber = device.errorNumber();
            writerError = writer.errorString();
        }
    }
    if (errorNumber == 0 && encoded && ::fsync(fd) != 0)
        errorNumber = errno;
    if (::close(fd) != 0 && errorNumber == 0)
        errorNumber = errno;
    if (errorNumber == 0 && encoded && ::rename(temporary.constData(), target.constData()) != 0)
        errorNumber = errno;
    if (errorNumber != 0 || !encoded) {
        ::unlink(temporary.constData());
        return errorNumber != 0 ? failWithErrno(error, errorNumber) : fail(error, writerError);
    }
    return true;
}

}  // namespace quilfen
