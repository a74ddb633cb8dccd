#pragma once

// Opening files that someone else put in place: a data file beside the
// program, a palette the user picked, the administrator's settings file.
// Such a path may name a named pipe (whose open waits for a writer for
// ever), a device that never ends (/dev/zero, or a link to it), a folder or a
// socket. Only a regular file, or a link to one, is opened, and never with a
// wait.

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace quilfen {

// Opens path for reading if it is a regular file (or a link to one). Returns
// the descriptor (close-on-exec, blocking reads), or -1 with errno set: the
// open's own errno, or EINVAL for something that is not a regular file, whose
// S_IFMT bits then go to fileType if given.
int openRegularFile(const std::string& path, mode_t* fileType = nullptr);

// What a file that is not a regular file is, in words: "a folder", "a named
// pipe", "a socket", "a character device", "a block device".
const char* fileKindName(mode_t fileType);

enum class FileReadStatus {
    Read,        // bytes holds the whole file
    OpenFailed,  // missing, not permitted, or not a regular file; errorNumber says which
    TooLarge,    // the file holds more than the limit; bytes is empty
    ReadFailed,  // a read error; errorNumber holds it
};

struct FileContent {
    FileReadStatus status = FileReadStatus::OpenFailed;
    std::string bytes;
    int errorNumber = 0;  // errno of the failing call, 0 when none failed
};

// Reads a whole regular file of at most maxBytes bytes. The size is checked
// while reading, not only beforehand, so a file that grows meanwhile is cut
// off as too large rather than read without end.
FileContent readRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace quilfen
