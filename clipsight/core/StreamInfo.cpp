#include "StreamInfo.h"

#include <cstring>
#include <new>
#include <string>

#include "BstrCodePage.h"

namespace clipsight {

namespace {
HRESULT QueryInterface(StreamInfo* self, const IID* iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == nullptr) return E_POINTER;
    if (*iid != IID_IUnknown && *iid != IID_IStreamInfo) return E_NOINTERFACE;
    *out = self;
    self->ops->AddRef(self);
    return S_OK;
}

uint32_t AddRef(StreamInfo* self) { return static_cast<uint32_t>(++self->refCount); }

uint32_t Release(StreamInfo* self) {
    int32_t count = --self->refCount;
    if (count == 0) {
        self->ops->Destroy(self, 1);
        return 0;
    }
    return static_cast<uint32_t>(count);
}

int32_t GetIndex(StreamInfo* self) { return self->streamIndex; }

HRESULT GetTypes(StreamInfo* self, GUID* majorType, GUID* subtype) {
    if (majorType == nullptr || subtype == nullptr) return E_POINTER;
    *majorType = self->majorType;
    *subtype = self->subtype;
    return S_OK;
}

int32_t GetFormatTag(StreamInfo* self) { return static_cast<int32_t>(self->formatTag); }

int32_t GetRate(StreamInfo* self) { return self->rate; }

HRESULT GetSize(StreamInfo* self, int32_t* size) {
    if (size == nullptr) return E_POINTER;
    size[0] = self->width;
    size[1] = self->height;
    return S_OK;
}

HRESULT GetName(StreamInfo* self, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (self->name == nullptr) return S_OK;
    // The name is 8-bit text in the ANSI code page; an empty name gives an empty string.
    try {
        std::u16string wide;
        if (!AnsiToWide(self->name, std::strlen(self->name), &wide)) return S_OK;
        *out = BstrAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    } catch (const std::bad_alloc&) {
        // Out of memory: S_OK with NULL, as when the string itself cannot be allocated.
    }
    return S_OK;
}

int32_t GetChannels(StreamInfo* self) { return self->channels; }

void Destroy(StreamInfo* self, uint32_t flags) {
    self->refCount = 1;
    self->~StreamInfo();
    if (flags & 1) ::operator delete(self);
}

const IStreamInfoVtbl kOps = {QueryInterface, AddRef,  Release,     GetIndex, GetTypes, GetFormatTag,
                              GetRate,        GetSize, GetName,     GetChannels, Destroy};
}  // namespace

StreamInfo::StreamInfo() : ops(&kOps) {}

StreamInfo* StreamInfo::Create() { return new (std::nothrow) StreamInfo(); }

void StreamInfo::Fill(int32_t index, const StreamRecord& record) {
    streamIndex = index;
    channels = record.channels;
    majorType = record.majorType;
    subtype = record.subtype;
    formatTag = record.formatTag;
    width = record.width;
    height = record.height;
    rate = record.rate;
    name = record.name;
}

}  // namespace clipsight
