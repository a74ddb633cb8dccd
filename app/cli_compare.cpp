// quilfen-cli compare: results of bench --json side by side, one column
// each, so that two machines or two builds can be weighed. Results of another
// region timed other work and are refused; results of other versions or
// builds are compared, with what differs from the first result marked.

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "app/json_text.h"
#include "bench/benchmark_figures.h"
#include "platform/files/regular_file.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace quilfen::cli {

namespace {

// A result is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxResultBytes = 1024 * 1024;

// What must be the same for two results to be compared: the work timed.
const char* const kRegionKeys[] = {"centre_re", "centre_im", "range", "points", "max_iter"};

struct Result {
    QString file;
    QJsonObject json;
    double median = 0.0;
};

// A failure that ends the command with status 1 and this message.
struct CompareError {
    QString message;
};

QString valueText(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QStringLiteral("-");
}

Result readResult(const char* name)
{
    Result r;
    r.file = QString::fromLocal8Bit(name);
    const FileContent content = readRegularFile(name, kMaxResultBytes);
    if (content.status == FileReadStatus::TooLarge)
        throw CompareError{QStringLiteral("%1 is too large to be a result of bench --json").arg(r.file)};
    // Only a regular file is opened (EINVAL for anything else): a named pipe is never waited on.
    if (content.status != FileReadStatus::Read)
        throw CompareError{QStringLiteral("cannot read %1: %2")
                               .arg(r.file, content.errorNumber == EINVAL
                                                ? QStringLiteral("it is not a regular file")
                                                : QString::fromLocal8Bit(std::strerror(content.errorNumber)))};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(content.bytes), &error);
    const auto refuse = [&](const QString& why) {
        return CompareError{QStringLiteral("%1 is not a result of quilfen-cli bench --json: %2").arg(r.file, why)};
    };
    if (error.error != QJsonParseError::NoError)
        throw refuse(error.errorString());
    if (!document.isObject())
        throw refuse(QStringLiteral("not a JSON object"));
    r.json = document.object();
    const QJsonObject region = r.json.value(QStringLiteral("region")).toObject();
    for (const char* key : kRegionKeys)
        if (!region.value(QLatin1String(key)).isDouble())
            throw refuse(QStringLiteral("its region has no %1").arg(QLatin1String(key)));
    for (const char* key : {"median_seconds", "best_seconds"})
        if (!r.json.value(QLatin1String(key)).isDouble())
            throw refuse(QStringLiteral("it has no %1").arg(QLatin1String(key)));
    if (!r.json.value(QStringLiteral("validation")).isString())
        throw refuse(QStringLiteral("it has no validation"));
    r.median = r.json.value(QStringLiteral("median_seconds")).toDouble();
    return r;
}

// Refuses a result that timed other work than the first.
void checkSameWork(const Result& first, const Result& other)
{
    const QJsonObject a = first.json.value(QStringLiteral("region")).toObject();
    const QJsonObject b = other.json.value(QStringLiteral("region")).toObject();
    QStringList differences;
    for (const char* key : kRegionKeys) {
        const QLatin1String name(key);
        if (a.value(name) != b.value(name))
            differences << QStringLiteral("%1 %2 against %3").arg(name, valueText(b.value(name)),
                                                                  valueText(a.value(name)));
    }
    if (!differences.isEmpty())
        throw CompareError{QStringLiteral("cannot compare %1 with %2: it timed another region (%3)")
                               .arg(other.file, first.file, differences.join(QStringLiteral(", ")))};
}

// One line of the table: a label and a cell for each result.
struct Row {
    QString label;
    QStringList cells;
    bool marked = false;  // mark the cells that differ from the first
};

QString table(const std::vector<Result>& results)
{
    std::vector<Row> rows;
    const auto add = [&](const QString& label, auto cellOf, bool marked = false) {
        Row row{label, {}, marked};
        for (const Result& r : results)
            row.cells << cellOf(r);
        rows.push_back(row);
    };
    const auto field = [](const char* object, const char* key) {
        return [=](const Result& r) {
            return valueText(r.json.value(QLatin1String(object)).toObject().value(QLatin1String(key)));
        };
    };
    add({}, [](const Result& r) { return r.file; });  // the heading
    add(QStringLiteral("processor"), field("machine", "processor"), true);
    add(QStringLiteral("logical processors"), field("machine", "logical_processors"), true);
    add(QStringLiteral("memory"), [](const Result& r) {
        const QJsonValue bytes =
            r.json.value(QStringLiteral("machine")).toObject().value(QStringLiteral("memory_bytes"));
        return bytes.isDouble() ? QString::fromStdString(gibibytesText(bytes.toDouble())) : QStringLiteral("-");
    }, true);
    add(QStringLiteral("system"), [&](const Result& r) {
        if (!r.json.value(QStringLiteral("machine")).isObject())
            return QStringLiteral("-");
        return field("machine", "os")(r) + ' ' + field("machine", "kernel")(r) + ' ' +
               field("machine", "architecture")(r);
    }, true);
    add(QStringLiteral("version"), field("build", "version"), true);
    add(QStringLiteral("compiler"), field("build", "compiler"), true);
    add(QStringLiteral("build type"), field("build", "build_type"), true);
    add(QStringLiteral("arithmetic flags"), field("build", "arithmetic_flags"), true);
    add(QStringLiteral("vector library"), field("build", "vector_library"), true);
    add(QStringLiteral("instruction set"),
        [](const Result& r) { return valueText(r.json.value(QStringLiteral("instruction_set"))); }, true);
    add(QStringLiteral("threads"),
        [](const Result& r) { return valueText(r.json.value(QStringLiteral("threads"))); }, true);
    add(QStringLiteral("runs"), [](const Result& r) { return valueText(r.json.value(QStringLiteral("runs"))); });
    add(QStringLiteral("median seconds"), [](const Result& r) { return QString::number(r.median, 'f', 6); });
    add(QStringLiteral("best seconds"), [](const Result& r) {
        return QString::number(r.json.value(QStringLiteral("best_seconds")).toDouble(), 'f', 6);
    });
    add(QStringLiteral("spread"), [](const Result& r) {
        const QJsonValue v =
            r.json.value(QStringLiteral("statistics")).toObject().value(QStringLiteral("coefficient_of_variation"));
        return v.isDouble() ? QString::fromStdString(percentText(v.toDouble())) : QStringLiteral("-");
    });
    add(QStringLiteral("MFLOPS"), [](const Result& r) { return QString::fromStdString(mflopsText(r.median)); });
    add(QStringLiteral("vs reference"),
        [](const Result& r) { return QString::fromStdString(ratioText(r.median)); });
    const double firstMedian = results.front().median;
    add(QStringLiteral("vs first"), [&](const Result& r) {
        return r.median > 0.0 && firstMedian > 0.0 ? QString::number(firstMedian / r.median, 'f', 2)
                                                   : QString::fromLatin1(kNoFigure);
    });
    add(QStringLiteral("validation"), [](const Result& r) {
        const bool valid =
            r.json.value(QStringLiteral("validation")).toString() == QStringLiteral("valid") &&
            r.json.value(QStringLiteral("checksum")) == r.json.value(QStringLiteral("expected_checksum"));
        return valid ? QStringLiteral("valid") : QStringLiteral("INVALID");
    });
    add(QStringLiteral("stability"), [](const Result& r) {
        const QJsonValue stable = r.json.value(QStringLiteral("stable"));
        if (!stable.isBool())
            return QStringLiteral("-");  // a result from before stability was recorded
        return stable.toBool() ? QStringLiteral("stable") : QStringLiteral("UNSTABLE");
    });

    bool anyMarked = false;
    for (Row& row : rows) {
        if (!row.marked)
            continue;
        for (qsizetype k = 1; k < row.cells.size(); ++k)
            if (row.cells[k] != row.cells[0]) {
                row.cells[k] += QStringLiteral(" *");
                anyMarked = true;
            }
    }

    qsizetype labelWidth = 0;
    QList<qsizetype> widths(rows.front().cells.size(), 0);
    for (const Row& row : rows) {
        labelWidth = std::max(labelWidth, row.label.size());
        for (qsizetype k = 0; k < widths.size(); ++k)
            widths[k] = std::max(widths[k], row.cells[k].size());
    }
    QString text;
    for (const Row& row : rows) {
        QString line = row.label.leftJustified(labelWidth);
        for (qsizetype k = 0; k < widths.size(); ++k)
            line += QStringLiteral("  ") + row.cells[k].leftJustified(widths[k]);
        while (line.endsWith(' '))
            line.chop(1);
        text += line + '\n';
    }
    if (anyMarked)
        text += QStringLiteral("* differs from the first result\n");
    return text;
}

}  // namespace

int runCompare(int fileCount, char** files)
{
    for (int k = 0; k < fileCount; ++k)
        if (std::strncmp(files[k], "--", 2) == 0)
            throw UsageError("compare takes no option: " + quoted(files[k]));
    if (fileCount < 2)
        throw UsageError("compare needs two or more results of bench --json");
    std::vector<Result> results;
    try {
        for (int k = 0; k < fileCount; ++k) {
            results.push_back(readResult(files[k]));
            checkSameWork(results.front(), results.back());
        }
    } catch (const CompareError& e) {
        std::fprintf(stderr, "quilfen-cli: %s\n", e.message.toLocal8Bit().constData());
        return 1;
    }
    const QByteArray text = table(results).toUtf8();
    const auto size = static_cast<std::size_t>(text.size());
    return finishStandardOutput(std::fwrite(text.constData(), 1, size, stdout) == size ? 0 : errno);
}

}  // namespace quilfen::cli
