#pragma once

// QCOMPARE compares floating-point values fuzzily; this compares them
// exactly (a float through its double value) and shows 17 digits on failure.

#include <QString>

inline QString exactText(double v)
{
    return QString::asprintf("%.17g", v);
}

#define QCOMPARE_EXACT(actual, expected) \
    QCOMPARE(exactText(static_cast<double>(actual)), exactText(static_cast<double>(expected)))
