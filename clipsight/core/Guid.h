// OLE base types of the media component: interface and class ids (GUIDs) and HRESULT.
#pragma once
#include <cstdint>

#include "MediaTypes.h"

namespace clipsight {

using IID = GUID;
using CLSID = GUID;

// True when all 16 bytes are zero.
bool IsZeroGuid(const GUID& g);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional); false on a malformed text.
bool ParseGuid(const char* text, GUID* out);

// Formats as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex) into 39 bytes.
void FormatGuid(const GUID& g, char out[39]);

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

// HRESULT of a system error number: 0x8007 in the high half, the error's low 16 bits below.
constexpr HRESULT HresultFromSystemError(uint32_t error) {
    return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// IID_IUnknown {00000000-0000-0000-C000-000000000046}.
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace clipsight
