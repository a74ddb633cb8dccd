#include "app/picture_region.h"

#include "app/json_text.h"
#include "platform/files/regular_file.h"

#include <QFile>
#include <QImageReader>

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace quilfen::cli {

namespace {

// The entries' keys.
constexpr char kCentreRe[] = "quilfen-centre-re";
constexpr char kCentreIm[] = "quilfen-centre-im";
constexpr char kRange[] = "quilfen-range";
constexpr char kMaxIter[] = "quilfen-max-iter";
constexpr char kSize[] = "quilfen-size";
constexpr char kPalette[] = "quilfen-palette";
constexpr char kPaletteChecksum[] = "quilfen-palette-checksum";
constexpr char kVersion[] = "quilfen-version";

// A failure to read one entry: the reason, to follow the file's name.
struct EntryError {
    std::string reason;
};

// Whether the whole text reads as value; base, if given, is from_chars's.
template <typename T, typename... Base>
bool readsWhole(const std::string& text, T& value, Base... base)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base...);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

void setRegionText(QImage& image, const PictureRegion& region)
{
    const auto set = [&](const char* key, const std::string& value) {
        image.setText(QString::fromLatin1(key), QString::fromStdString(value));
    };
    set(kCentreRe, shortestText(region.cond.CentreRe));
    set(kCentreIm, shortestText(region.cond.CentreIm));
    set(kRange, shortestText(region.cond.Range));
    set(kMaxIter, std::to_string(region.maxIter));
    set(kSize, std::to_string(region.size));
    set(kPalette, region.palette);
    set(kPaletteChecksum, hexText(region.paletteChecksum));
    set(kVersion, region.version);
    image.setText(QStringLiteral("Software"), QStringLiteral("Quilfen ") + QString::fromStdString(region.version));
}

bool readRegionText(const std::string& path, std::int32_t maxIterLimit, std::int32_t maxSize,
                    PictureRegion& region, std::string& error)
{
    // Only a regular file, never waiting on a named pipe.
    const int fd = openRegularFile(path);
    if (fd < 0) {
        error = std::string("cannot be opened: ") +
                (errno == EINVAL ? "it is not a regular file" : std::strerror(errno));
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = "cannot be opened: " + file.errorString().toStdString();
        return false;
    }
    QImageReader reader(&file, "PNG");
    if (!reader.canRead()) {
        error = "is not a PNG picture";
        return false;
    }
    if (!reader.size().isValid()) {
        error = "is a broken PNG picture: its header cannot be read";
        return false;
    }
    if (reader.text(QString::fromLatin1(kCentreRe)).isEmpty() && reader.text(QString::fromLatin1(kRange)).isEmpty()) {
        error = "carries no region (no quilfen-... text entries): it was not written by quilfen-cli render";
        return false;
    }
    const auto text = [&](const char* key) {
        const QString value = reader.text(QString::fromLatin1(key));
        if (value.isEmpty())
            throw EntryError{std::string("has no ") + key + " entry"};
        return value.toStdString();
    };
    const auto refuse = [](const char* key, const std::string& written, const std::string& why) {
        return EntryError{std::string("has a ") + key + " entry '" + written + "' that is " + why};
    };
    // A finite double in its shortest form as written (any decimal form is taken).
    const auto number = [&](const char* key) {
        const std::string written = text(key);
        double value = 0.0;
        if (!readsWhole(written, value) || !std::isfinite(value))
            throw refuse(key, written, "not a finite number");
        return value;
    };
    const auto whole = [&](const char* key, std::int32_t high) {
        const std::string written = text(key);
        std::int32_t value = 0;
        if (!readsWhole(written, value) || value < 1 || value > high)
            throw refuse(key, written, "not a whole number from 1 to " + std::to_string(high));
        return value;
    };
    try {
        region.cond.CentreRe = number(kCentreRe);
        region.cond.CentreIm = number(kCentreIm);
        region.cond.Range = number(kRange);
        region.maxIter = whole(kMaxIter, maxIterLimit);
        region.size = whole(kSize, maxSize);
        region.palette = text(kPalette);
        const std::string checksum = text(kPaletteChecksum);
        if (!readsWhole(checksum, region.paletteChecksum, 16))
            throw refuse(kPaletteChecksum, checksum, "not a hexadecimal checksum");
        region.version = text(kVersion);
    } catch (const EntryError& e) {
        error = e.reason;
        return false;
    }
    return true;
}

}  // namespace quilfen::cli
