#include "app/picture_region.h"

#include "app/json_text.h"
#include "platform/files/regular_file.h"

#include <QFile>
#include <QImageReader>

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

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

class Entries {
public:
    explicit Entries(QImageReader& reader) : m_reader(reader) {}

    std::string text(const char* key) const
    {
        const QString value = m_reader.text(QString::fromLatin1(key));
        if (value.isEmpty())
            throw EntryError{std::string("has no ") + key + " entry"};
        return value.toStdString();
    }

    // A finite double in its shortest form as written (any decimal form is taken).
    double number(const char* key) const
    {
        const std::string written = text(key);
        double value = 0.0;
        const auto [end, error] = std::from_chars(written.data(), written.data() + written.size(), value);
        if (error != std::errc() || end != written.data() + written.size() || !std::isfinite(value))
            throw EntryError{std::string("has a ") + key + " entry '" + written + "' that is not a finite number"};
        return value;
    }

    std::int32_t whole(const char* key, std::int32_t high) const
    {
        const std::string written = text(key);
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(written.data(), written.data() + written.size(), value);
        if (error != std::errc() || end != written.data() + written.size() || value < 1 || value > high)
            throw EntryError{std::string("has a ") + key + " entry '" + written +
                             "' that is not a whole number from 1 to " + std::to_string(high)};
        return value;
    }

private:
    QImageReader& m_reader;
};

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
        error = std::string("cannot be opened: ") + (errno == EINVAL ? "it is not a regular file" : std::strerror(errno));
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
    try {
        const Entries entries(reader);
        region.cond.CentreRe = entries.number(kCentreRe);
        region.cond.CentreIm = entries.number(kCentreIm);
        region.cond.Range = entries.number(kRange);
        region.maxIter = entries.whole(kMaxIter, maxIterLimit);
        region.size = entries.whole(kSize, maxSize);
        region.palette = entries.text(kPalette);
        const std::string checksum = entries.text(kPaletteChecksum);
        const auto [end, failed] =
            std::from_chars(checksum.data(), checksum.data() + checksum.size(), region.paletteChecksum, 16);
        if (failed != std::errc() || end != checksum.data() + checksum.size())
            throw EntryError{std::string("has a ") + kPaletteChecksum + " entry '" + checksum +
                             "' that is not a hexadecimal checksum"};
        region.version = entries.text(kVersion);
    } catch (const EntryError& e) {
        error = e.reason;
        return false;
    }
    return true;
}

}  // namespace quilfen::cli
