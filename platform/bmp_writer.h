#pragma once

#include <QImage>
#include <QString>

namespace quilfen {

// Writes the image as a BMP file (or in another format Qt writes: "PNG")
// through a temporary file in the same folder
// that replaces the target only once complete: a failed write (full disk, no
// permission, vanished folder) leaves an existing file exactly as it was and
// no temporary file behind. On failure returns false and, if error is given,
// the reason.
bool writeBmpAtomically(const QImage& image, const QString& path, QString* error = nullptr,
                        const char* format = "BMP");

}  // namespace quilfen
