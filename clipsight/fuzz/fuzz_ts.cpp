// Fuzz target: the transport stream parser over a file holding the input.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "StreamList.h"
#include "TsParser.h"

using namespace clipsight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile file;
    const FileHandle handle = file.Fill(data, size);
    if (handle == kInvalidFileHandle) return 0;
    TsParser parser;
    StreamList* list = nullptr;
    const int result = parser.Parse(handle, 44, &list);
    if (result != 0 && result != 1) std::abort();
    if ((result == 1) != (list != nullptr)) std::abort();
    // The reader never takes more than the file several times over (tables, then the PES scan).
    if (parser.BytesRead() > 4 * uint64_t(size) + 4 * TsParser::kReaderBufferSize) std::abort();
    if (list != nullptr) {
        for (uint32_t i = 0; i < list->count; ++i) {
            const StreamRecord* r = list->records[i];
            if (r == nullptr || r->size != 96 || r->name[31] != '\0') std::abort();
        }
    }
    FreeStreamList(list);
    return 0;
}
