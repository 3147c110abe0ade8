#include "win/RuntimeError.h"

#include <cmath>
#include <cstring>

namespace win {

namespace {
double roundHalfEven(double v) { return std::nearbyint(v); }  // default mode: to nearest even
}  // namespace

QString systemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

short roundToInt16(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0)) throw RuntimeError(kErrOverflow, "Overflow");
    return short(r);
}

int roundToInt32(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw RuntimeError(kErrOverflow, "Overflow");
    return int(r);
}

}  // namespace win
