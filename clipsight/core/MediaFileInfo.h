// The media-file object that Open hands to the host: it owns the parser registry and the stream
// list of one parse, and walks the streams.
#pragma once

#include <cstdint>

#include "Guid.h"
#include "ParserRegistry.h"
#include "StreamInfo.h"
#include "StreamList.h"

namespace clipsight {

class MediaFileInfo;

// Operation table, in the interface's order; every operation takes the object first.
struct IMediaFileInfoVtbl {
    HRESULT (*QueryInterface)(MediaFileInfo* self, const IID* iid, void** out);
    uint32_t (*AddRef)(MediaFileInfo* self);
    uint32_t (*Release)(MediaFileInfo* self);
    int32_t (*GetStreamCount)(MediaFileInfo* self);
    HRESULT (*Reset)(MediaFileInfo* self);
    HRESULT (*Next)(MediaFileInfo* self, StreamInfo** out);
    int32_t (*GetDuration)(MediaFileInfo* self);
    void (*Destroy)(MediaFileInfo* self, uint32_t flags);  // bit 0: free the memory
};

class MediaFileInfo {
public:
    // A new object with count 0, no list, index -1 and the default parsers. NULL when memory
    // runs out.
    static MediaFileInfo* Create();

    // Runs the probe once for an 8-bit path in the ANSI code page: 1 list built, 0 no list
    // built, -1 file not opened, code not accepted, or every accepting parser declined or failed.
    int Open(const char* ansiPath, int containerType);

    const IMediaFileInfoVtbl* ops;  // first: the interface pointer is the object pointer
    int32_t refCount = 0;
    StreamList* streamList = nullptr;
    int32_t enumIndex = -1;
    ParserRegistry registry;

    ~MediaFileInfo();

private:
    MediaFileInfo();
};

}  // namespace clipsight
