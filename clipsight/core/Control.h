// The control object CKRClipsightControl, the host's entry point, and the two factory functions
// that the library exports as CreateSTComponent and GetCLSIDs.
#pragma once

#include <atomic>
#include <cstdint>

#include "Bstr.h"
#include "ControlLock.h"
#include "Guid.h"
#include "MediaFileInfo.h"

namespace clipsight {

class CKRClipsightControl;

// Operation table of IContainerInfoControl, in its order; every operation takes the object first.
struct IContainerInfoControlVtbl {
    HRESULT (*QueryInterface)(CKRClipsightControl* self, const IID* iid, void** out);
    uint32_t (*AddRef)(CKRClipsightControl* self);
    uint32_t (*Release)(CKRClipsightControl* self);
    HRESULT (*ReservedA)(CKRClipsightControl* self, int32_t value);
    HRESULT (*ReservedB)(CKRClipsightControl* self);
    int32_t (*GetOption)(CKRClipsightControl* self);
    HRESULT (*SetOption)(CKRClipsightControl* self, int32_t value);
    HRESULT (*GetClassId)(CKRClipsightControl* self, GUID* out);
    const char* (*GetName)(CKRClipsightControl* self);
    HRESULT (*Open)(CKRClipsightControl* self, BSTR path, int32_t containerType, MediaFileInfo** out);
    void (*OnCreated)(CKRClipsightControl* self);
    void (*OnFinalRelease)(CKRClipsightControl* self);
};

class CKRClipsightControl {
public:
    const IContainerInfoControlVtbl* ops;  // first: the interface pointer is the object pointer
    int32_t option = 0;
    std::atomic<int32_t> refCount{0};
    ControlLock controlLock;

    CKRClipsightControl();
};

// Creates the control object for `clsid` with one reference (E_NOINTERFACE for any other id).
HRESULT CreateControlComponent(const GUID* clsid, void** out);

// Tells the creatable class ids: the count, or with `out` at most `max` of them copied.
int GetControlClassIds(GUID* out, unsigned max);

// Number of entries in the class-id table.
constexpr int kClassIdTableSize = 256;

}  // namespace clipsight
