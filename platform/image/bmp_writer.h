#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quilfen {

// Writes the image as a BMP file (or in another format Qt writes: "PNG")
// through a temporary file in the same folder
// that replaces the target only once complete: a failed write (full disk, no
// permission, vanished folder) leaves an existing file exactly as it was and
// no temporary file behind.
//
// Only a regular file is ever replaced: a target that exists and is anything
// else (a folder, a device such as /dev/null, a named pipe, a socket) is
// refused before anything is written. A target that is a link to a regular
// file stays a link; the file it leads to is replaced. The new file keeps
// the permission bits of the file it replaces and, when the program runs as
// root, its owner and group; a new file gets the usual ones (0666 less the
// umask).
//
// On failure returns false and, if error is given, the reason: the system's
// text for the error of the call that failed ("No space left on device",
// "File too large", "Permission denied"), or what kind of thing the target is.
bool writeBmpAtomically(const QImage& image, const QString& path, QString* error = nullptr,
                        const char* format = "BMP");

// The same for a path given as the system's own bytes, which need not be
// valid UTF-8: the file is written under exactly these bytes.
bool writeBmpAtomically(const QImage& image, const QByteArray& nativePath, QString* error = nullptr,
                        const char* format = "BMP");

}  // namespace quilfen
