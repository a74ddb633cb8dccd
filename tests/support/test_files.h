#pragma once

// Files and palette texts the tests write and read back.

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

namespace quilfen::test {

inline constexpr char kPaletteHeader[] = "Quilfen Palette Table File";

bool writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);  // empty when unreadable

// Makes something that is not a regular file at path: "pipe" (a named pipe),
// "device" (a character device like /dev/null; needs root) or "socket".
// Returns false if it cannot be made here.
bool makeSpecialFile(const QString& path, const QString& kind);

// A palette table file: the header line, then `entries` CR LF records of
// colour(k) for k = 0, 1, …
QByteArray paletteText(int entries, const std::function<std::array<int, 3>(int)>& colour,
                       const QByteArray& header = kPaletteHeader);

// The ramp (k mod 256, 3k mod 256, 7), complete unless told otherwise.
QByteArray rampPaletteText(const QByteArray& header = kPaletteHeader, int entries = 1025);

}  // namespace quilfen::test
