// Reads a palette table file: the header "Quilfen Palette Table File" as the
// first field, then 3,075 values (red, green, blue of entries 0 … 1024), each
// field ended by a comma or a line break. The file is read as a stream through
// a small fixed buffer, so its size never matters: nothing after the 3,075th
// value is looked at, and no field is ever held longer than kMaxFieldBytes.
//
// Choices for what a hand-made file may contain beyond the canonical layout:
// - Line ends LF, CR LF and CR are all line breaks.
// - A UTF-8 byte-order mark at the very start of the file is skipped.
// - Blanks and tabs before and after a field are ignored; other control
//   characters are part of the field (and so make a value unreadable).
// - Blank lines between values are skipped: before a value, line breaks count
//   as blanks. An empty value between two commas ("1,,2") is not a number.
// - The header is the text before the first comma or line break of the file;
//   an empty first line is therefore not the header (NotPalette).
// - A field may be written in double quotes; the text between them is taken
//   exactly, blanks included, so "12" is 12 but " 12" is not a number.
//   The closing quote must come before the end of the line; anything but
//   blanks between it and the field's end makes the field something else
//   (a header with more words, a value that is not a number).
// - A value is an optional sign and decimal digits, leading zeros allowed.
//   A fractional part ("1.5", "1."), an exponent, or any other text is not a
//   number: Broken. So is a number outside -32768 … 32767.
// - A file that ends before the first field has a character (empty, or only a
//   byte-order mark and blanks) is Broken; a read error is Broken.
// - A field longer than kMaxFieldBytes, counted from the end of the previous
//   field with skipped blanks and line breaks included, is unreadable
//   (Broken). No palette needs that much room, and it keeps a huge file
//   without line breaks from being read in full. A first field that long is
//   far longer than the header, so the file is not a palette (NotPalette):
//   a picture renamed .qpl has its first line break thousands of bytes in.
// - Only a regular file (or a link to one) is opened. A folder, a named pipe,
//   a device or a socket gives OpenFailed: opening a pipe would wait for a
//   writer for ever, and a device such as /dev/zero never ends.

#include "palette/palette_reader.h"

#include "platform/files/regular_file.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace quilfen {

namespace {

constexpr std::string_view kHeader = "Quilfen Palette Table File";
constexpr std::size_t kMaxFieldBytes = 4096;
constexpr int kEnd = -1;

// Sequential bytes of an open file through a fixed buffer.
class ByteStream {
public:
    explicit ByteStream(std::FILE* file) : m_file(file) {}

    int peek()
    {
        if (m_pos == m_len && !fill(1))
            return kEnd;
        return m_buffer[m_pos];
    }

    int get()
    {
        const int c = peek();
        if (c != kEnd)
            ++m_pos;
        return c;
    }

    // Skips prefix if the stream starts with it; call before anything else.
    void skipPrefix(std::string_view prefix)
    {
        fill(prefix.size());
        if (m_len - m_pos >= prefix.size() &&
            std::memcmp(m_buffer.data() + m_pos, prefix.data(), prefix.size()) == 0)
            m_pos += prefix.size();
    }

    bool failed() const { return m_failed; }
    int errorNumber() const { return m_errorNumber; }

private:
    // Makes at least want bytes available unless the file ends first.
    bool fill(std::size_t want)
    {
        if (m_pos == m_len)
            m_pos = m_len = 0;
        while (m_len - m_pos < want && !m_atEnd) {
            const std::size_t got =
                std::fread(m_buffer.data() + m_len, 1, m_buffer.size() - m_len, m_file);
            m_len += got;
            if (got == 0) {
                m_atEnd = true;
                m_failed = std::ferror(m_file) != 0;
                m_errorNumber = m_failed ? errno : 0;
            }
        }
        return m_len - m_pos >= want;
    }

    std::FILE* m_file;
    std::array<unsigned char, 16384> m_buffer{};
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    int m_errorNumber = 0;  // errno of the failed read
};

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineBreak(int c) { return c == '\r' || c == '\n'; }

enum class FieldStatus {
    Read,       // a field ended by a comma, a line break or the end of the file
    NoField,    // the file ended before the field had a character
    TooLong,    // no end within kMaxFieldBytes
    Unreadable  // an unclosed quote, or a read error
};

struct Field {
    std::string text;
    bool clean = true;  // false when text follows a closing quote
};

// Reads one field and its terminator. A CR ending the field is taken alone;
// the LF of a CR LF pair is skipped before the next value, as a blank line.
FieldStatus readField(ByteStream& in, bool lineBreaksAreBlanks, Field& field)
{
    field.text.clear();
    field.clean = true;
    std::size_t used = 0;
    auto next = [&]() {
        ++used;
        return in.get();
    };

    int c = in.peek();
    while (isBlank(c) || (lineBreaksAreBlanks && isLineBreak(c))) {
        next();
        if (used > kMaxFieldBytes)
            return FieldStatus::TooLong;
        c = in.peek();
    }
    if (c == kEnd)
        return in.failed() ? FieldStatus::Unreadable : FieldStatus::NoField;

    if (c == '"') {
        next();
        for (c = next(); c != '"'; c = next()) {
            if (used > kMaxFieldBytes)
                return FieldStatus::TooLong;
            if (c == kEnd || isLineBreak(c))
                return FieldStatus::Unreadable;
            field.text.push_back(static_cast<char>(c));
        }
        for (c = next(); isBlank(c); c = next()) {
            if (used > kMaxFieldBytes)
                return FieldStatus::TooLong;
        }
        if (c != ',' && !isLineBreak(c) && c != kEnd)
            field.clean = false;  // whatever follows is never needed
    } else {
        for (c = next(); c != ',' && !isLineBreak(c) && c != kEnd; c = next()) {
            if (used > kMaxFieldBytes)
                return FieldStatus::TooLong;
            field.text.push_back(static_cast<char>(c));
        }
        while (!field.text.empty() && isBlank(field.text.back()))
            field.text.pop_back();
    }
    if (in.failed())
        return FieldStatus::Unreadable;
    return FieldStatus::Read;
}

// An optional sign and decimal digits whose value fits 16 bits signed.
bool parseValue(const Field& field, std::int16_t& value)
{
    std::string_view text = field.text;
    // from_chars takes a minus sign but no plus; "+-5" stays unreadable.
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return field.clean && error == std::errc() && stop == end;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file at path opened for reading, or nullptr when it cannot be opened
// or is not a regular file; then detail says which.
std::FILE* openRegularStream(const std::string& path, PaletteReadDetail& detail)
{
    mode_t fileType = 0;
    const int fd = openRegularFile(path, &fileType);
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        detail.errorNumber = errno;
        if (fd >= 0)
            ::close(fd);
        detail.problem = fileType != 0 ? PaletteProblem::NotRegularFile : PaletteProblem::CannotOpen;
        detail.fileType = fileType;
    }
    return file;
}

// Broken, for that reason unless a read failed.
PaletteReadResult brokenBy(PaletteReadDetail& detail, PaletteProblem problem, const ByteStream& in)
{
    detail.problem = in.failed() ? PaletteProblem::ReadFailed : problem;
    if (in.failed())
        detail.errorNumber = in.errorNumber();
    return PaletteReadResult::Broken;
}

}  // namespace

PaletteReadResult ReadPaletteFile(const std::string& path, PaletteTable& table, PaletteReadDetail* detailOut)
{
    PaletteReadDetail ignored;
    PaletteReadDetail& detail = detailOut ? *detailOut : ignored;
    detail = {};
    const std::unique_ptr<std::FILE, FileCloser> file(openRegularStream(path, detail));
    if (!file)
        return PaletteReadResult::OpenFailed;

    ByteStream in(file.get());
    in.skipPrefix("\xEF\xBB\xBF");

    Field field;
    switch (readField(in, false, field)) {
    case FieldStatus::Read:
        break;
    case FieldStatus::TooLong:
        detail.problem = PaletteProblem::NoHeader;
        return PaletteReadResult::NotPalette;
    case FieldStatus::NoField:
        return brokenBy(detail, PaletteProblem::Empty, in);
    case FieldStatus::Unreadable:
        // An unclosed quote: whatever it holds, it is not the header.
        return brokenBy(detail, PaletteProblem::NoHeader, in);
    }
    if (!field.clean || field.text != kHeader) {
        detail.problem = PaletteProblem::NoHeader;
        return PaletteReadResult::NotPalette;
    }

    for (auto& entry : table) {
        for (auto& component : entry) {
            std::int16_t value = 0;
            const FieldStatus status = readField(in, true, field);
            if (status == FieldStatus::NoField)
                return brokenBy(detail, PaletteProblem::TooShort, in);
            if (status != FieldStatus::Read || !parseValue(field, value))
                return brokenBy(detail, PaletteProblem::BadValue, in);
            component = value;
        }
        ++detail.entries;
    }
    return PaletteReadResult::Loaded;
}

}  // namespace quilfen
