#include "app/cli_files.h"

#include "app/cli_options.h"
#include "platform/files/regular_file.h"

#include <QImage>
#include <QString>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace quilfen::cli {

namespace {

bool endsWith(const std::string& name, const char* ending)
{
    return QString::fromStdString(name).endsWith(QLatin1String(ending), Qt::CaseInsensitive);
}

void removeTemporaryAndEnd(int signalNumber)
{
    const int savedErrno = errno;
    if (const char* temporary = temporaryImageFile())
        ::unlink(temporary);
    // SA_RESETHAND has put back the default action, which the raised signal
    // takes as soon as this handler returns.
    std::raise(signalNumber);
    errno = savedErrno;
}

}  // namespace

PictureDestination::PictureDestination(const Options& options) : m_path(options.requireString("--out"))
{
    if (m_path.empty())
        throw UsageError("--out is empty: give a file name");
    if (options.has("--format")) {
        const std::string format = options.requireString("--format");
        if (QString::fromStdString(format).compare(QLatin1String("png"), Qt::CaseInsensitive) == 0)
            m_format = "PNG";
        else if (QString::fromStdString(format).compare(QLatin1String("bmp"), Qt::CaseInsensitive) != 0)
            throw UsageError("option --format: " + quoted(format) + " is neither bmp nor png");
    } else if (endsWith(m_path, ".png")) {
        m_format = "PNG";
    } else if (m_path != "-" && !endsWith(m_path, ".bmp")) {
        throw UsageError("option --out: " + quoted(m_path) +
                         " ends neither in .bmp nor in .png (or add --format bmp or --format png)");
    }
}

bool PictureDestination::open()
{
    QString error;
    // A file is opened by the name's own bytes: it need not be valid UTF-8.
    if (m_path == "-") {
        if (isatty(STDOUT_FILENO) != 1)
            return true;
        error = QStringLiteral("it is a terminal (redirect it to a file or a program)");
    } else if (m_file.open(QByteArray::fromStdString(m_path), &error)) {
        return true;
    }
    return failed(error);
}

bool PictureDestination::write(const QImage& picture)
{
    QString error;
    if (m_path == "-" ? writeImage(picture, STDOUT_FILENO, m_format, &error) : m_file.commit(picture, m_format, &error))
        return true;
    return failed(error);
}

bool PictureDestination::failed(const QString& why) const
{
    const std::string where = m_path == "-" ? "to standard output" : m_path;
    std::fprintf(stderr, "quilfen-cli: cannot write %s: %s\n", where.c_str(), qPrintable(why));
    return false;
}

void removeTemporaryFileOnSignals()
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        action.sa_flags = static_cast<int>(SA_RESETHAND);  // the macro is unsigned here
        ::sigaction(signalNumber, &action, nullptr);
    }
}

std::string paletteProblem(const PaletteReadDetail& detail)
{
    switch (detail.problem) {
    case PaletteProblem::CannotOpen:
        return std::string("cannot be opened: ") + std::strerror(detail.errorNumber);
    case PaletteProblem::NotRegularFile:
        return std::string("is not a regular file (") + fileKindName(detail.fileType) + ")";
    case PaletteProblem::Empty:
        return "is empty, not a palette file";
    case PaletteProblem::NoHeader:
        return "is not a palette table file";
    case PaletteProblem::TooShort:
        return "is too short: " + std::to_string(detail.entries) + " entries found, " +
               std::to_string(kPaletteEntries) + " needed";
    case PaletteProblem::BadValue:
        return "is broken: entry " + std::to_string(detail.entries) + " (of 0 to " +
               std::to_string(kPaletteEntries - 1) + ") has a value that is not a whole number from -32768 to 32767";
    case PaletteProblem::ReadFailed:
        return std::string("cannot be read: ") + std::strerror(detail.errorNumber);
    case PaletteProblem::None:
        break;
    }
    return "is broken";
}

}  // namespace quilfen::cli
