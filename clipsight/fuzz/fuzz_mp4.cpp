// Fuzz target: the MP4/QuickTime parser over a file holding the input.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "Mp4Parser.h"
#include "StreamList.h"

using namespace clipsight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile file;
    const FileHandle handle = file.Fill(data, size);
    if (handle == kInvalidFileHandle) return 0;
    Mp4Parser parser;
    StreamList* list = nullptr;
    const uint64_t before = TotalBytesRead();
    const int result = parser.Parse(handle, 10, &list);
    if (result < -1 || result > 1) std::abort();
    if ((result == 1) != (list != nullptr)) std::abort();
    // Headers only: never more than the file, plus the one header peeked inside a top-level 'free'.
    if (TotalBytesRead() - before > size + 8) std::abort();
    if (list != nullptr && list->count > AtomWalker::kMaxTracks) std::abort();
    FreeStreamList(list);
    return 0;
}
