// The stream-information object handed out by the media-file object's Next: one stream's index,
// types, format tag, rate, picture size, codec name and channels.
#pragma once

#include <cstdint>

#include "Bstr.h"
#include "Guid.h"
#include "StreamList.h"

namespace clipsight {

class StreamInfo;

// Operation table, in the interface's order; every operation takes the object first.
struct IStreamInfoVtbl {
    HRESULT (*QueryInterface)(StreamInfo* self, const IID* iid, void** out);
    uint32_t (*AddRef)(StreamInfo* self);
    uint32_t (*Release)(StreamInfo* self);
    int32_t (*GetIndex)(StreamInfo* self);
    HRESULT (*GetTypes)(StreamInfo* self, GUID* majorType, GUID* subtype);
    int32_t (*GetFormatTag)(StreamInfo* self);
    int32_t (*GetRate)(StreamInfo* self);
    HRESULT (*GetSize)(StreamInfo* self, int32_t* size);
    HRESULT (*GetName)(StreamInfo* self, BSTR* out);
    int32_t (*GetChannels)(StreamInfo* self);
    void (*Destroy)(StreamInfo* self, uint32_t flags);  // bit 0: free the memory
};

class StreamInfo {
public:
    // A new object: count 0, zero GUIDs, tag, rate and size 0, no name, index -1, channels 0.
    // NULL when memory runs out.
    static StreamInfo* Create();
    // Takes the values of one record; the name stays the record's (not copied).
    void Fill(int32_t index, const StreamRecord& record);

    const IStreamInfoVtbl* ops;  // first: the interface pointer is the object pointer
    int32_t refCount = 0;
    const char* name = nullptr;
    int32_t rate = 0;
    GUID majorType{};
    GUID subtype{};
    uint32_t formatTag = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t streamIndex = -1;
    int32_t channels = 0;

private:
    StreamInfo();
};

}  // namespace clipsight
