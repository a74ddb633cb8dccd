#pragma once

// Tests of numbers shown and read run under the locale of their environment,
// as the program does: QApplication calls setlocale(LC_ALL, ""), after which
// the C library's printf and strtod take the locale's decimal point.

#include <QByteArray>
#include <QString>

#include <clocale>

namespace quilfen::test {

// Takes the environment's locale. When QUILFEN_DECIMAL_POINT names the point
// the locale has, returns an error unless that locale is really in use (a
// locale that is not installed leaves the C locale, and the run would prove
// nothing). An empty text: all is well.
inline QString adoptEnvironmentLocale()
{
    std::setlocale(LC_ALL, "");
    const QByteArray expected = qgetenv("QUILFEN_DECIMAL_POINT");
    const QByteArray point(std::localeconv()->decimal_point);
    if (!expected.isEmpty() && point != expected)
        return QStringLiteral("the decimal point is \"%1\", not \"%2\": is the locale installed "
                              "(tools/install-deps.sh generates it)?")
            .arg(QString::fromLatin1(point), QString::fromLatin1(expected));
    return {};
}

}  // namespace quilfen::test
