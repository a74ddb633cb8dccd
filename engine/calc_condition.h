#pragma once

namespace quilfen {

// A square region of the complex plane.
struct CalcCondition {
    double CentreRe = 0.0;  // real part of the centre
    double CentreIm = 0.0;  // imaginary part of the centre
    double Range = 0.0;     // side length of the square

    friend bool operator==(const CalcCondition&, const CalcCondition&) = default;
};

}  // namespace quilfen
