#include "MediaFileInfo.h"

#include <cstdint>
#include <new>
#include <string>

#include "ControlPath.h"

namespace clipsight {

namespace {
HRESULT QueryInterface(MediaFileInfo* self, const IID* iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == nullptr) return E_POINTER;
    if (*iid != IID_IUnknown && *iid != IID_IMediaFileInfo) return E_NOINTERFACE;
    *out = self;
    self->ops->AddRef(self);
    return S_OK;
}

uint32_t AddRef(MediaFileInfo* self) { return static_cast<uint32_t>(++self->refCount); }

uint32_t Release(MediaFileInfo* self) {
    int32_t count = --self->refCount;
    if (count == 0) {
        self->ops->Destroy(self, 1);
        return 0;
    }
    return static_cast<uint32_t>(count);
}

int32_t GetStreamCount(MediaFileInfo* self) {
    return self->streamList ? static_cast<int32_t>(self->streamList->count) : 0;
}

HRESULT Reset(MediaFileInfo* self) {
    self->enumIndex = -1;
    return S_OK;
}

HRESULT Next(MediaFileInfo* self, StreamInfo** out) {
    if (self->streamList == nullptr) return E_FAIL;
    if (self->enumIndex < INT32_MAX) ++self->enumIndex;  // kept whatever happens next
    const int32_t count = GetStreamCount(self);
    if (self->enumIndex > count - 1) return self->enumIndex == count ? S_OK : E_FAIL;
    StreamInfo* info = StreamInfo::Create();
    if (info == nullptr) return E_FAIL;
    info->ops->AddRef(info);
    const StreamRecord* record = self->streamList->records[self->enumIndex];
    if (out == nullptr || record == nullptr) {
        info->ops->Release(info);
        return E_FAIL;
    }
    info->Fill(self->enumIndex, *record);
    *out = info;
    return S_OK;
}

int32_t GetDuration(MediaFileInfo* self) {
    return self->streamList ? static_cast<int32_t>(self->streamList->durationSeconds) : 0;
}

void Destroy(MediaFileInfo* self, uint32_t flags) {
    self->refCount = 1;  // no re-entrant release during the teardown
    self->~MediaFileInfo();
    if (flags & 1) ::operator delete(self);
}

const IMediaFileInfoVtbl kOps = {QueryInterface, AddRef, Release, GetStreamCount, Reset, Next, GetDuration, Destroy};
}  // namespace

MediaFileInfo::MediaFileInfo() : ops(&kOps) { registry.AddDefaultParsers(); }

MediaFileInfo::~MediaFileInfo() {
    FreeStreamList(streamList);
    streamList = nullptr;
    registry.DeleteParsers();
}

MediaFileInfo* MediaFileInfo::Create() {
    try {
        return new (std::nothrow) MediaFileInfo();
    } catch (...) {  // the registry's array could not grow
        return nullptr;
    }
}

int MediaFileInfo::Open(const char* ansiPath, int containerType) {
    if (streamList != nullptr) return kParseNoList;
    try {
        std::string hostPath;
        if (!HostPathFromAnsiPath(ansiPath, &hostPath)) return kParseDeclined;
        return registry.ProbeAndParse(hostPath.c_str(), containerType, &streamList);
    } catch (...) {
        return kParseDeclined;
    }
}

}  // namespace clipsight
