#include "platform/image/bmp_writer.h"

#include "platform/files/regular_file.h"

#include <QFile>
#include <QIODevice>
#include <QImageWriter>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quilfen {

namespace {

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

// The name of the temporary file being written, for temporaryImageFile():
// filled while g_temporaryNamed is false, so a handler never reads it half
// written.
char g_temporaryName[PATH_MAX + 64];
std::atomic<bool> g_temporaryNamed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

// Names the file for temporaryImageFile() unless another one is named.
bool nameTemporary(const QByteArray& name)
{
    if (g_temporaryNamed.load() || static_cast<std::size_t>(name.size()) >= sizeof g_temporaryName)
        return false;
    std::memcpy(g_temporaryName, name.constData(), static_cast<std::size_t>(name.size()) + 1);
    g_temporaryNamed.store(true, std::memory_order_release);
    return true;
}

// A temporary file in the folder, created new with the usual permission
// bits; returns the descriptor, or -1 with errno set. The name is given out
// before the file exists, so a signal never finds a file it cannot name:
// removing a name that is not there yet does no harm, and with 64 random
// bits a name someone else holds (EEXIST) does not come up in practice.
int createTemporary(const QByteArray& folder, QByteArray& name, bool& named)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.quilfen-" +
               QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        named = nameTemporary(name);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0)
            return fd;
        const int error = errno;
        if (named)
            g_temporaryNamed.store(false);
        named = false;
        errno = error;
        if (error != EEXIST)
            return -1;
    }
    return -1;
}

// Where a link that leads to no file points, for the message.
QString linkText(const QByteArray& link)
{
    char text[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), text, sizeof text);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(text, static_cast<qsizetype>(length)));
}

}  // namespace

const char* temporaryImageFile() noexcept
{
    return g_temporaryNamed.load(std::memory_order_acquire) ? g_temporaryName : nullptr;
}

bool writeBmpAtomically(const QImage& image, const QByteArray& nativePath, QString* error)
{
    AtomicImageFile file;
    return file.open(nativePath, error) && file.commit(image, "BMP", error);
}

AtomicImageFile::~AtomicImageFile()
{
    discard();
}

void AtomicImageFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
    // Only now: a signal until here still finds the file.
    if (m_registered)
        g_temporaryNamed.store(false);
    m_registered = false;
}

bool AtomicImageFile::open(const QByteArray& nativePath, QString* error)
{
    discard();
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return failWithErrno(error, ENOENT);

    // The target as it is now: only a regular file may be replaced, and a
    // link to one is followed so that the link itself stays.
    m_target = nativePath;
    struct stat old {};
    const bool exists = ::stat(nativePath.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return failWithErrno(error, errno);
    struct stat link {};
    if (!exists && ::lstat(nativePath.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        return fail(error, QStringLiteral("it is a link to %1, which does not exist").arg(linkText(nativePath)));
    if (exists && !S_ISREG(old.st_mode))
        return fail(error,
                    QStringLiteral("it is %1, not a regular file").arg(QLatin1String(fileKindName(old.st_mode))));
    if (exists) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(nativePath.constData(), nullptr),
                                                                   &std::free);
        if (!resolved)
            return failWithErrno(error, errno);
        m_target = resolved.get();
        // Replacing needs only the folder's permission; a file its owner
        // made read-only, or someone else's, is refused as cp refuses it.
        if (::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) != 0)
            return failWithErrno(error, errno);
    }

    m_fd = createTemporary(folderOf(m_target), m_temporary, m_registered);
    if (m_fd < 0) {
        const int errorNumber = errno;
        m_temporary.clear();
        return failWithErrno(error, errorNumber);
    }

    int errorNumber = 0;
    if (exists && ::geteuid() == 0 && ::fchown(m_fd, old.st_uid, old.st_gid) != 0)
        errorNumber = errno;
    // After the owner: a change of owner clears the set-user and set-group bits.
    if (errorNumber == 0 && exists && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        errorNumber = errno;
    if (errorNumber != 0) {
        discard();
        return failWithErrno(error, errorNumber);
    }
    return true;
}

bool AtomicImageFile::commit(const QImage& image, const char* format, QString* error)
{
    if (m_fd < 0)
        return failWithErrno(error, EBADF);
    // The first failure is the one reported.
    bool written = writeImage(image, m_fd, format, error);
    if (written && ::fsync(m_fd) != 0)
        written = failWithErrno(error, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && written)
        written = failWithErrno(error, errno);
    if (written && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        written = failWithErrno(error, errno);
    if (written)
        m_temporary.clear();  // renamed: nothing left to remove
    discard();
    return written;
}

bool writeImage(const QImage& image, int fd, const char* format, QString* error)
{
    DescriptorDevice device(fd);
    QImageWriter writer(&device, format);
    if (writer.write(image))
        return true;
    return device.errorNumber() != 0 ? failWithErrno(error, device.errorNumber())
                                     : fail(error, writer.errorString());
}

}  // namespace quilfen
