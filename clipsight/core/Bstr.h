// BSTR strings with the platform's layout: UTF-16 text, its byte length as a 32-bit value just
// before the first character, and a NUL character after the last one.
#pragma once
#include <cstdint>

namespace clipsight {

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

// The allocation functions of the platform; the library exports them under the platform's names.
BSTR BstrAllocString(const OLECHAR* text);
BSTR BstrAllocStringLen(const OLECHAR* text, uint32_t length);
uint32_t BstrStringLen(const OLECHAR* bstr);
void BstrFreeString(BSTR bstr);

// Longest string (in characters) that an allocation accepts; the byte length must fit in 32 bits.
constexpr uint32_t kBstrMaxLength = 0x7FFFFFF0u / 2u;

}  // namespace clipsight
