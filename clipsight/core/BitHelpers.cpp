#include "BitHelpers.h"

namespace clipsight {

int CountLeadingZeroBits(uint8_t value) {
    int n = 0;
    for (int bit = 7; bit >= 0 && (value & (1u << bit)) == 0; --bit) ++n;
    return n;
}

int GetBit(uint8_t value, int n) {
    if (n < 0 || n > 7) return 0;
    return (value >> (7 - n)) & 1;
}

}  // namespace clipsight
