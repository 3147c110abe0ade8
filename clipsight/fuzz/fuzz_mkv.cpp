// Fuzz target: the Matroska parser over a file holding the input.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "MkvParser.h"
#include "StreamList.h"

using namespace clipsight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile file;
    const FileHandle handle = file.Fill(data, size);
    if (handle == kInvalidFileHandle) return 0;
    MkvParser parser;
    StreamList* list = nullptr;
    const int result = parser.Parse(handle, MkvParser::kContainerType, &list);
    if (result != 0 && result != 1) std::abort();
    if ((result == 1) != (list != nullptr)) std::abort();
    if (list != nullptr) {
        for (uint32_t i = 0; i < list->count; ++i) {
            const StreamRecord* r = list->records[i];
            if (r == nullptr || r->size != 96 || r->name[31] != '\0') std::abort();
        }
    }
    FreeStreamList(list);
    return 0;
}
