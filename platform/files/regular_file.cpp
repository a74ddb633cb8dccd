#include "platform/files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quilfen {

const char* fileKindName(mode_t fileType)
{
    if (S_ISDIR(fileType))
        return "a folder";
    if (S_ISCHR(fileType))
        return "a character device";
    if (S_ISBLK(fileType))
        return "a block device";
    if (S_ISFIFO(fileType))
        return "a named pipe";
    if (S_ISSOCK(fileType))
        return "a socket";
    return "not a file";
}

int openRegularFile(const std::string& path, mode_t* fileType)
{
    // O_NONBLOCK keeps the open of a named pipe from waiting for a writer;
    // it is cleared again below, so reads of the regular file behave as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd < 0) {
        // A socket cannot be opened at all (ENXIO): say what it is instead.
        const int error = errno;
        const bool other = error == ENXIO && ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
        if (other && fileType)
            *fileType = info.st_mode & S_IFMT;
        errno = other ? EINVAL : error;
        return -1;
    }
    const bool statted = ::fstat(fd, &info) == 0;
    if (!statted || !S_ISREG(info.st_mode)) {
        const int error = statted ? EINVAL : errno;
        if (statted && fileType)
            *fileType = info.st_mode & S_IFMT;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FileContent readRegularFile(const std::string& path, std::size_t maxBytes)
{
    FileContent content;
    const int fd = openRegularFile(path);
    if (fd < 0) {
        content.errorNumber = errno;
        return content;
    }
    char buffer[65536];
    content.status = FileReadStatus::Read;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            content.status = FileReadStatus::ReadFailed;
            content.errorNumber = errno;
            break;
        }
        if (got == 0)
            break;
        if (static_cast<std::size_t>(got) > maxBytes - content.bytes.size()) {
            content.status = FileReadStatus::TooLarge;
            break;
        }
        content.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (content.status != FileReadStatus::Read)
        content.bytes.clear();
    return content;
}

}  // namespace quilfen
