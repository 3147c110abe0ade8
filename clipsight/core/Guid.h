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

namespace clipsight {

// Class id of the control object {3CC23BB2-A09E-41D4-B08D-145FB6678549}.
constexpr CLSID CLSID_ClipsightControl = {0x3CC23BB2, 0xA09E, 0x41D4, {0xB0, 0x8D, 0x14, 0x5F, 0xB6, 0x67, 0x85, 0x49}};
// The control object's interface ids (all give IContainerInfoControl).
constexpr IID IID_IContainerInfoControl = {0x821D5127, 0x60F0, 0x4E28, {0xB3, 0x9D, 0x50, 0x7F, 0x98, 0x58, 0x29, 0x01}};
constexpr IID IID_IContainerInfoControl2 = {0xFC444062, 0x07C1, 0x431B, {0xA1, 0x4E, 0x12, 0xDB, 0x17, 0xB0, 0x8C, 0xC0}};
// {57D6DDBB-21B9-4175-8509-9DBE1DAAED6C}
constexpr IID IID_IMediaFileInfo = {0x57D6DDBB, 0x21B9, 0x4175, {0x85, 0x09, 0x9D, 0xBE, 0x1D, 0xAA, 0xED, 0x6C}};
// {3C692E6B-B520-4C67-A8A4-042F191CE613}
constexpr IID IID_IStreamInfo = {0x3C692E6B, 0xB520, 0x4C67, {0xA8, 0xA4, 0x04, 0x2F, 0x19, 0x1C, 0xE6, 0x13}};

}  // namespace clipsight
