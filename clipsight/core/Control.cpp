#include "Control.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "BstrCodePage.h"
#include "MediaParser.h"

namespace clipsight {

namespace {
// Win32 error for a text that cannot be converted: ERROR_NO_UNICODE_TRANSLATION.
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;

// Entry 0 is the control's class id, the rest empty. Never written, so hosts may ask from any
// number of threads at once.
constexpr GUID kClassIdTable[kClassIdTableSize] = {CLSID_ClipsightControl};

HRESULT QueryInterface(CKRClipsightControl* self, const IID* iid, void** out) {
    if (iid == nullptr || out == nullptr) return E_POINTER;
    if (*iid != IID_IUnknown && *iid != IID_IContainerInfoControl && *iid != IID_IContainerInfoControl2)
        return E_NOINTERFACE;
    *out = self;
    self->ops->AddRef(self);
    return S_OK;
}

uint32_t AddRef(CKRClipsightControl* self) { return static_cast<uint32_t>(++self->refCount); }

uint32_t Release(CKRClipsightControl* self) {
    int32_t count = --self->refCount;
    if (count == 0) {
        self->ops->OnFinalRelease(self);
        delete self;
        return 0;
    }
    return static_cast<uint32_t>(count);
}

HRESULT ReservedA(CKRClipsightControl*, int32_t) { return S_OK; }

HRESULT ReservedB(CKRClipsightControl*) { return S_OK; }

int32_t GetOption(CKRClipsightControl* self) { return self->option; }

HRESULT SetOption(CKRClipsightControl* self, int32_t value) {
    self->option = value;
    return S_OK;
}

HRESULT GetClassId(CKRClipsightControl*, GUID* out) {
    if (out == nullptr) return E_POINTER;
    *out = CLSID_ClipsightControl;
    return S_OK;
}

const char* GetName(CKRClipsightControl*) {
    static const char kName[] = "CKRClipsightControl";
    return kName;
}

HRESULT Open(CKRClipsightControl*, BSTR path, int32_t containerType, MediaFileInfo** out) {
    if (out == nullptr) return E_FAIL;
    // A copy of the path, then 8-bit text in the ANSI code page (NULL stays NULL).
    BSTR copy = nullptr;
    if (path != nullptr) {
        copy = BstrAllocString(path);
        if (copy == nullptr) return E_OUTOFMEMORY;
    }
    std::string ansi;
    const char* ansiPath = nullptr;
    bool lost = false;
    HRESULT result = S_OK;
    try {
        if (copy != nullptr) {
            if (!WideToAnsi(copy, BstrStringLen(copy), &ansi, &lost))
                result = HresultFromSystemError(kErrorNoUnicodeTranslation);
            ansiPath = ansi.c_str();
        }
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    }
    if (result == S_OK) {
        MediaFileInfo* info = MediaFileInfo::Create();
        if (info == nullptr) {
            result = E_OUTOFMEMORY;
        } else {
            info->ops->AddRef(info);
            // A path that lost characters names another file, or none: it is a file that cannot
            // be opened, as on Windows, where no file name holds a '?'.
            const int parsed = lost ? kParseDeclined : info->Open(ansiPath, containerType);
            if (parsed != 0) {
                *out = info;  // the host owns this reference
            } else {
                info->ops->Release(info);
                result = E_FAIL;
            }
        }
    }
    BstrFreeString(copy);
    return result;
}

void OnCreated(CKRClipsightControl*) {}

void OnFinalRelease(CKRClipsightControl*) {}

const IContainerInfoControlVtbl kOps = {QueryInterface, AddRef,   Release,    ReservedA,
                                        ReservedB,      GetOption, SetOption, GetClassId,
                                        GetName,        Open,      OnCreated, OnFinalRelease};
}  // namespace

CKRClipsightControl::CKRClipsightControl() : ops(&kOps) {}

HRESULT CreateControlComponent(const GUID* clsid, void** out) {
    if (clsid == nullptr || out == nullptr) return E_POINTER;
    if (std::memcmp(clsid, &CLSID_ClipsightControl, sizeof(GUID)) != 0) return E_NOINTERFACE;
    auto* control = new (std::nothrow) CKRClipsightControl();
    if (control == nullptr) return E_OUTOFMEMORY;
    control->ops->OnCreated(control);
    control->ops->AddRef(control);
    *out = control;
    return S_OK;
}

int GetControlClassIds(GUID* out, unsigned max) {
    int count = -1;
    for (int i = 0; i < kClassIdTableSize; ++i) {
        if (IsZeroGuid(kClassIdTable[i])) {
            count = i;
            break;
        }
    }
    if (out == nullptr) return count;
    if (count < 0) count = kClassIdTableSize;
    if (static_cast<unsigned>(count) >= max) count = static_cast<int>(max);
    std::memcpy(out, kClassIdTable, static_cast<size_t>(count) * sizeof(GUID));
    return count;
}

}  // namespace clipsight
