// Display patterns, the seconds' text and the reading of typed numbers.

#include "engine/mandel11.h"
#include "engine/number_text.h"

#include <QRandomGenerator>
#include <QTest>

#include "tests/support/environment_locale.h"
#include "tests/support/exact_compare.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

using namespace quilfen;
using quilfen::test::adoptEnvironmentLocale;

namespace {

const char* const kFormA = "+0.########;-0.########";
const char* const kFormB = "+0.#######;-0.#######";
const char* const kFormC = "+0.###e-#0;-0.###e-#0";

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString localeProblem = adoptEnvironmentLocale();
        QVERIFY2(localeProblem.isEmpty(), qPrintable(localeProblem));
    }
    void init() { resetEngineState(); }
    void cleanup() { resetEngineState(); }

    void formatNumber_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        // The display forms of the conditions dialog.
        QTest::newRow("A 0.39032") << kFormA << 0.39032 << "+0.39032";
        QTest::newRow("A -0.5") << kFormA << -0.5 << "-0.5";
        QTest::newRow("A 0") << kFormA << 0.0 << "+0.";
        QTest::newRow("A 1") << kFormA << 1.0 << "+1.";
        QTest::newRow("A 0.123456789") << kFormA << 0.123456789 << "+0.12345679";
        QTest::newRow("B 2.5") << kFormB << 2.5 << "+2.5";
        QTest::newRow("B 0.01") << kFormB << 0.01 << "+0.01";
        QTest::newRow("B 0.00012345678") << kFormB << 0.00012345678 << "+0.0001235";
        QTest::newRow("C 0.0001") << kFormC << 0.0001 << "+1.e-4";
        QTest::newRow("C 0.0000123456") << kFormC << 0.0000123456 << "+1.235e-5";
        QTest::newRow("C 0.0000000000025") << kFormC << 0.0000000000025 << "+2.5e-12";
        // Around them.
        QTest::newRow("A 0.123456789012") << kFormA << 0.123456789012 << "+0.12345679";
        QTest::newRow("A -0.15") << kFormA << -0.15 << "-0.15";
        QTest::newRow("A 0.8") << kFormA << 0.8 << "+0.8";
        QTest::newRow("A -1.75 integer part") << kFormA << -1.75 << "-1.75";
        QTest::newRow("A 123.456") << kFormA << 123.456 << "+123.456";
        // A negative value takes the negative section, even when it rounds to zero.
        QTest::newRow("A -1e-9 rounding to zero") << kFormA << -1e-9 << "-0.";
        QTest::newRow("A negative rounding to zero") << kFormA << -1.5e-10 << "-0.";
        QTest::newRow("A negative denormal") << kFormA << -4.9406564584124654e-324 << "-0.";
        QTest::newRow("B -4e-8 rounding to zero") << kFormB << -4e-8 << "-0.";
        QTest::newRow("B -5e-8 rounding away from zero") << kFormB << -5e-8 << "-0.0000001";
        QTest::newRow("###0 negative rounding to zero") << "###0" << -0.4 << "0";
        QTest::newRow("A negative zero") << kFormA << -0.0 << "+0.";
        QTest::newRow("B negative zero") << kFormB << -0.0 << "+0.";
        QTest::newRow("C negative zero") << kFormC << -0.0 << "+0.e0";
        QTest::newRow("A tie 5e-9 goes up") << kFormA << 5e-9 << "+0.00000001";
        QTest::newRow("A 1.5e-8: binary below the tie, decimal form on it") << kFormA << 1.5e-8
                                                                              << "+0.00000002";
        QTest::newRow("A carry through nines") << kFormA << 0.999999999 << "+1.";
        QTest::newRow("A 1e20") << kFormA << 1e20 << "+100000000000000000000.";
        QTest::newRow("A 15 digits of 1/3") << kFormA << 1.0 / 3.0 * 1e7 << "+3333333.33333333";
        QTest::newRow("A denormal") << kFormA << 4.9406564584124654e-324 << "+0.";
        QTest::newRow("B 0.00010001") << kFormB << 0.00010001 << "+0.0001";
        QTest::newRow("B 0.4") << kFormB << 0.4 << "+0.4";
        QTest::newRow("B -3") << kFormB << -3.0 << "-3.";
        QTest::newRow("C 0.00001235") << kFormC << 0.00001235 << "+1.235e-5";
        QTest::newRow("C carry into the exponent") << kFormC << 0.000099996 << "+1.e-4";
        QTest::newRow("C positive exponent without sign") << kFormC << 12345.0 << "+1.235e4";
        QTest::newRow("C exponent 0") << kFormC << 2.5 << "+2.5e0";
        QTest::newRow("C negative") << kFormC << -0.00025 << "-2.5e-4";
        QTest::newRow("C zero") << kFormC << 0.0 << "+0.e0";
        QTest::newRow("C denormal") << kFormC << 4.9406564584124654e-324 << "+4.941e-324";
        QTest::newRow("C largest") << kFormC << DBL_MAX << "+1.798e308";
        // The benchmark patterns.
        QTest::newRow("###0 0") << "###0" << 0.0 << "0";
        QTest::newRow("###0 287") << "###0" << 287.0 << "287";
        QTest::newRow("###0 half up") << "###0" << 2.5 << "3";
        QTest::newRow("###0 negative half away") << "###0" << -2.5 << "-3";
        QTest::newRow("###0 no grouping") << "###0" << 1234567.0 << "1234567";
        QTest::newRow("##0.### 0.5") << "##0.###" << 0.5 << "0.5";
        QTest::newRow("##0.### 2") << "##0.###" << 2.0 << "2.";
        QTest::newRow("##0.### 0.3085") << "##0.###" << 0.3085 << "0.309";
        QTest::newRow("##0.### 12.3456") << "##0.###" << 12.3456 << "12.346";
        QTest::newRow("##0.### 0") << "##0.###" << 0.0 << "0.";
        QTest::newRow("##0.00 2.675 decimal form") << "##0.00" << 2.675 << "2.68";
        QTest::newRow("##0.00 1.005 decimal form") << "##0.00" << 1.005 << "1.01";
        QTest::newRow("##0.00 0.25966") << "##0.00" << 0.25966 << "0.26";
        QTest::newRow("##0.00 1.3") << "##0.00" << 1.2983 << "1.30";
        QTest::newRow("##0.00 0") << "##0.00" << 0.0 << "0.00";
        QTest::newRow("##0.00 999.999") << "##0.00" << 999.999 << "1000.00";
        // Values that are not numbers.
        QTest::newRow("A NaN") << kFormA << kNaN << "NaN";
        QTest::newRow("C +inf") << kFormC << kInf << "Infinity";
        QTest::newRow("###0 -inf") << "###0" << -kInf << "-Infinity";
    }
    void formatNumber()
    {
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(quilfen::formatNumber(value, pattern.toStdString())), expected);
    }

    void formatNumberLargest()
    {
        const std::string expected = "+179769313486232" + std::string(294, '0') + ".";
        QCOMPARE(quilfen::formatNumber(DBL_MAX, kFormA), expected);
        std::string negative = expected;
        negative.front() = '-';
        QCOMPARE(quilfen::formatNumber(-DBL_MAX, kFormB), negative);
    }

    void formatSingle_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.3085f: seven digits first") << "##0.###" << 0.3085f << "0.309";
        QTest::newRow("1.29825f") << "##0.###" << 1.29825f << "1.298";
        QTest::newRow("1.234f") << "##0.###" << 1.234f << "1.234";
        QTest::newRow("1f") << "##0.###" << 1.0f << "1.";
        QTest::newRow("5f") << "##0.###" << 5.0f << "5.";
        QTest::newRow("0.5f") << "##0.###" << 0.5f << "0.5";
        QTest::newRow("12.3456f") << "##0.###" << 12.3456f << "12.346";
        QTest::newRow("0f") << "##0.###" << 0.0f << "0.";
        QTest::newRow("0.1f has no binary tail") << kFormA << 0.1f << "+0.1";
        QTest::newRow("NaN") << "##0.###" << std::numeric_limits<float>::quiet_NaN() << "NaN";
        QTest::newRow("inf") << "##0.###" << std::numeric_limits<float>::infinity() << "Infinity";
    }
    void formatSingle()
    {
        QFETCH(QString, pattern);
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(quilfen::formatSingle(value, pattern.toStdString())), expected);
    }

    void singleToText_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2.453") << 2.453f << " 2.453";
        QTest::newRow("below one keeps the zero") << 0.5f << " 0.5";
        QTest::newRow("zero") << 0.0f << " 0";
        QTest::newRow("negative zero") << -0.0f << " 0";
        QTest::newRow("negative") << -1.5f << "-1.5";
        QTest::newRow("whole") << 1.0f << " 1";
        QTest::newRow("0.3085 unrounded") << 0.3085f << " 0.3085";
        QTest::newRow("0.1") << 0.1f << " 0.1";
        QTest::newRow("seven digits") << 1.29825f << " 1.29825";
        QTest::newRow("rounded to seven digits") << 3.14159265f << " 3.141593";
        QTest::newRow("largest fixed") << 1234567.0f << " 1234567";
        QTest::newRow("tick count range") << 4294967.0f << " 4294967";
        QTest::newRow("seven digits half away") << 4294967.5f << " 4294968";
        QTest::newRow("eight digits") << 12345678.0f << " 1.234568E+07";
        QTest::newRow("0.0001") << 0.0001f << " 0.0001";
        QTest::newRow("0.00001") << 0.00001f << " 1E-05";
        QTest::newRow("0.001") << 0.001f << " 0.001";
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "NaN";
        QTest::newRow("inf") << std::numeric_limits<float>::infinity() << " Infinity";
        QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << "-Infinity";
    }
    void singleToText()
    {
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(quilfen::singleToText(value)), expected);
    }

    void numberOfText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("2.9") << "2.9" << 2.9;
        QTest::newRow("1,5") << "1,5" << 1.0;
        QTest::newRow("3 5 0") << "3 5 0" << 350.0;
        QTest::newRow("1e3") << "1e3" << 1000.0;
        QTest::newRow("+1.235e-5") << "+1.235e-5" << 0.00001235;
        QTest::newRow("+0.") << "+0." << 0.0;
        QTest::newRow("abc") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("tabs and line feeds") << "\t-1\n2.5 " << -12.5;
        QTest::newRow("blank in the exponent") << "1 e 3" << 1000.0;
        QTest::newRow("blank after the sign") << "- 1" << -1.0;
        QTest::newRow("only blanks") << "   " << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("trailing point") << "5." << 5.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("capital E") << "1E-2" << 0.01;
        QTest::newRow("e without digits") << "1e" << 1.0;
        QTest::newRow("e and sign without digits") << "1e+" << 1.0;
        QTest::newRow("two signs") << "+-1" << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("point alone") << "." << 0.0;
        QTest::newRow("carriage return is not ignored") << "\r1" << 0.0;
        QTest::newRow("d is no exponent") << "1d3" << 1.0;
        QTest::newRow("hexadecimal") << "0x10" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("inf") << "inf" << 0.0;
        QTest::newRow("-inf") << "-inf" << 0.0;
        QTest::newRow("full-width digits") << QStringLiteral("１２") << 0.0;
        QTest::newRow("1e400 overflows to the largest") << "1e400" << DBL_MAX;
        QTest::newRow("-1e400 overflows to the lowest") << "-1e400" << -DBL_MAX;
        QTest::newRow("just above the largest") << "1.8e308" << DBL_MAX;
        QTest::newRow("largest") << "1.7976931348623157e308" << DBL_MAX;
        QTest::newRow("1e-400 underflows to 0") << "1e-400" << 0.0;
        QTest::newRow("below the smallest denormal") << "2e-324" << 0.0;
        QTest::newRow("smallest denormal") << "4.9e-324" << 4.9406564584124654e-324;
        QTest::newRow("exponent overflowing every integer")
            << "1e99999999999999999999999" << DBL_MAX;
        QTest::newRow("negative exponent overflowing every integer")
            << "1e-99999999999999999999999" << 0.0;
        QTest::newRow("digits overflowing every integer") << "99999999999999999999" << 1e20;
        QTest::newRow("zero with a huge exponent") << "0e999999" << 0.0;
        QTest::newRow("leading zeros") << "000.000125" << 0.000125;
        QTest::newRow("form A text") << "+0.12345679" << 0.12345679;
        QTest::newRow("form C text") << "+2.5e-12" << 2.5e-12;
    }
    void numberOfText()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        const double value = quilfen::numberOfText(text.toStdString());
        QCOMPARE_EXACT(value, expected);
        QVERIFY(std::isfinite(value));
    }

    // 100,000 characters: the digits beyond the first hundreds still count
    // for the place of the point and for rounding.
    void numberOfLongText()
    {
        std::string ones(100000, '1');
        QCOMPARE_EXACT(quilfen::numberOfText(ones), DBL_MAX);
        QCOMPARE_EXACT(quilfen::numberOfText(ones + "e-99990"),
                 1111111111.1111111111111111111111);
        QCOMPARE_EXACT(quilfen::numberOfText("0." + std::string(100000, '0') + "1"), 0.0);
        QCOMPARE_EXACT(quilfen::numberOfText("0." + std::string(100000, '0') + "1e100010"), 1e9);
        // More than a million zeros after the point: an exponent of a million
        // and more still counts in full.
        const std::string tiny = "0." + std::string(1000001, '0') + "1";
        QCOMPARE_EXACT(quilfen::numberOfText(tiny + "e1000003"), 10.0);
        QCOMPARE_EXACT(quilfen::numberOfText(tiny + "e1000402"), DBL_MAX);  // 1e400
        QCOMPARE_EXACT(quilfen::numberOfText(tiny + "e1000200"), 1e198);
        QCOMPARE_EXACT(quilfen::numberOfText(tiny + "e999602"), 0.0);     // 1e-400
        QCOMPARE_EXACT(quilfen::numberOfText(tiny + "e99999999999999999999999"), DBL_MAX);
        QCOMPARE_EXACT(quilfen::numberOfText("-" + tiny + "e1000003"), -10.0);
        // Exactly halfway between two doubles up to the 800th digit, just
        // above it in a later one: must round up.
        const std::string halfway = "9007199254740993";  // 2^53 + 1
        QCOMPARE_EXACT(quilfen::numberOfText(halfway), 9007199254740992.0);
        QCOMPARE_EXACT(quilfen::numberOfText(halfway + "." + std::string(1000, '0') + "1"),
                 9007199254740994.0);
        std::string spaced;
        for (int i = 0; i < 50000; ++i)
            spaced += " 7";
        QCOMPARE_EXACT(quilfen::numberOfText(spaced + "e-49999"),
                 7.777777777777777777777777777777);
    }

    // The texts of the dialog's forms read back to the value they show: read
    // and shown again, the text is unchanged, and it lies within the
    // pattern's rounding of the value.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("scientific");
        QTest::addColumn<int>("decimals");
        QTest::newRow("form A") << kFormA << false << 8;
        QTest::newRow("form B") << kFormB << false << 7;
        QTest::newRow("form C") << kFormC << true << 3;
    }
    void roundTrip()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, scientific);
        QFETCH(int, decimals);
        const std::string p = pattern.toStdString();
        QRandomGenerator random(20240607);
        for (int n = 0; n < 20000; ++n) {
            const double mantissa = random.generateDouble() * 2.0 - 1.0;
            const int exponent = static_cast<int>(random.bounded(-16, 12));
            const double value = mantissa * std::pow(10.0, exponent);
            const std::string text = quilfen::formatNumber(value, p);
            const double read = quilfen::numberOfText(text);
            // A negative value shown as "-0." reads back as negative zero,
            // which is not below zero and shows as "+0.".
            QCOMPARE(quilfen::formatNumber(read, p), text == "-0." ? std::string("+0.") : text);
            double unit = std::pow(10.0, -decimals);
            if (scientific && value != 0.0)
                unit *= std::pow(10.0, std::floor(std::log10(std::fabs(read == 0.0 ? value : read))));
            QVERIFY2(std::fabs(read - value) <= unit * 0.5 * (1 + 1e-9) + std::fabs(value) * 1e-14,
                     (text + " for " + std::to_string(value)).c_str());
        }
    }

    void iterationLimitOfNumber_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.9") << 2.9 << 2;
        QTest::newRow("0") << 0.0 << 1;
        QTest::newRow("-5") << -5.0 << 1;
        QTest::newRow("0.999") << 0.999 << 1;
        QTest::newRow("1") << 1.0 << 1;
        QTest::newRow("1e3") << 1000.0 << 1000;
        QTest::newRow("32766.9") << 32766.9 << 32766;
        QTest::newRow("the cap") << 1e6 << 1000000;
        QTest::newRow("just above the cap") << 1000000.5 << 1000000;
        QTest::newRow("beyond 32 bits") << 2147483648.0 << 1000000;
        QTest::newRow("largest double") << DBL_MAX << 1000000;
        QTest::newRow("lowest double") << -DBL_MAX << 1;
        QTest::newRow("+inf") << kInf << 1000000;
        QTest::newRow("-inf") << -kInf << 1;
        QTest::newRow("NaN") << kNaN << 1;
    }
    void iterationLimitOfNumber()
    {
        QFETCH(double, number);
        QFETCH(int, expected);
        QCOMPARE(quilfen::iterationLimitOfNumber(number), expected);
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "test_number_text.moc"
