// Fuzz target: Open as a whole, through the control object. The first input byte picks the
// container-type code; the rest is the file. Every stream is then read as a host would.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Bstr.h"
#include "Control.h"
#include "FuzzFile.h"

using namespace clipsight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const int kTypes[] = {10, 11, 12, 31, 32, 17, 44, 45, 99};
    const int type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    static FuzzFile file;
    const FileHandle handle = file.Fill(data + 1, size - 1);
    if (handle == kInvalidFileHandle) return 0;
    // The memfd by its path, as Open takes a path.
    static BSTR path = [handle] {
        std::string text = "/proc/self/fd/" + std::to_string(handle);
        std::u16string wide(text.begin(), text.end());
        return BstrAllocStringLen(wide.data(), uint32_t(wide.size()));
    }();

    void* out = nullptr;
    if (CreateControlComponent(&CLSID_ClipsightControl, &out) != S_OK) std::abort();
    auto* control = static_cast<CKRClipsightControl*>(out);
    MediaFileInfo* info = nullptr;
    const HRESULT hr = control->ops->Open(control, path, type, &info);
    if (hr != S_OK && hr != E_FAIL) std::abort();
    if ((hr == S_OK) != (info != nullptr)) std::abort();
    if (info != nullptr) {
        const int count = info->ops->GetStreamCount(info);
        (void)info->ops->GetDuration(info);
        for (int i = 0; i <= count; ++i) {
            StreamInfo* s = nullptr;
            const HRESULT next = info->ops->Next(info, &s);
            // An object without a list (file not read, or the parse given up) fails at once.
            if (next == E_FAIL && count == 0 && i == 0) break;
            if (next != S_OK) std::abort();
            if (s == nullptr) {
                if (i != count) std::abort();
                break;
            }
            BSTR name = nullptr;
            s->ops->GetName(s, &name);
            BstrFreeString(name);
            int32_t wh[2];
            s->ops->GetSize(s, wh);
            s->ops->Release(s);
        }
        if (info->ops->Release(info) != 0) std::abort();
    }
    control->ops->Release(control);
    return 0;
}
