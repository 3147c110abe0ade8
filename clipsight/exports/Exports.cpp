// The library's exported functions, with C linkage.
#include "Bstr.h"
#include "Control.h"
#include "Guid.h"

#define CLIPSIGHT_EXPORT extern "C" __attribute__((visibility("default")))

using clipsight::BSTR;
using clipsight::GUID;
using clipsight::HRESULT;
using clipsight::OLECHAR;

CLIPSIGHT_EXPORT HRESULT CreateSTComponent(const GUID* clsid, void** out) {
    return clipsight::CreateControlComponent(clsid, out);
}

CLIPSIGHT_EXPORT int GetCLSIDs(GUID* out, unsigned max) { return clipsight::GetControlClassIds(out, max); }

CLIPSIGHT_EXPORT BSTR SysAllocString(const OLECHAR* text) { return clipsight::BstrAllocString(text); }

CLIPSIGHT_EXPORT BSTR SysAllocStringLen(const OLECHAR* text, unsigned length) {
    return clipsight::BstrAllocStringLen(text, length);
}

CLIPSIGHT_EXPORT unsigned SysStringLen(BSTR bstr) { return clipsight::BstrStringLen(bstr); }

CLIPSIGHT_EXPORT void SysFreeString(BSTR bstr) { clipsight::BstrFreeString(bstr); }
