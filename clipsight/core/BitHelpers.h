// Bit helpers for variable-length integers and bit fields.
#pragma once

#include <cstdint>

namespace clipsight {

// Zero bits above the highest set bit: 8 for 0, 0 when bit 7 is set, 7 for 1.
int CountLeadingZeroBits(uint8_t value);

// Bit n counted from the most significant bit (n = 0 is bit 7, n = 7 is bit 0);
// n outside 0..7 gives 0.
int GetBit(uint8_t value, int n);

}  // namespace clipsight
