// Fuzz target: the compressed movie header path. The input is the movie header before
// compression; it is deflated into moov/cmov/dcom/cmvd behind an ftyp and parsed as a file. The
// last input byte picks whether the declared size tells the truth.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzFile.h"
#include "Mp4Parser.h"
#include "StreamList.h"

using namespace clipsight;

namespace {
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
void Header(std::vector<uint8_t>& b, uint32_t size, const char* type) {
    Put32(b, size);
    b.insert(b.end(), type, type + 4);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const uint8_t mode = data[size - 1];
    const size_t movieSize = size - 1;
    uLongf packedSize = compressBound(movieSize);
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, data, movieSize, 6) != Z_OK) return 0;
    packed.resize(packedSize);
    uint32_t declared = uint32_t(movieSize);
    if (mode == 1) declared += 1;
    if (mode == 2) declared = declared > 0 ? declared - 1 : 0;
    if (mode == 3) declared = 0xFFFFFFFF;

    std::vector<uint8_t> file;
    Header(file, 16, "ftyp");
    file.insert(file.end(), {'q', 't', ' ', ' ', 0, 0, 0, 0});
    const uint32_t cmvd = uint32_t(12 + packed.size());
    const uint32_t cmov = 8 + 12 + cmvd;
    Header(file, 8 + cmov, "moov");
    Header(file, cmov, "cmov");
    Header(file, 12, "dcom");
    file.insert(file.end(), {'z', 'l', 'i', 'b'});
    Header(file, cmvd, "cmvd");
    Put32(file, declared);
    file.insert(file.end(), packed.begin(), packed.end());

    static FuzzFile handleFile;
    const FileHandle handle = handleFile.Fill(file.data(), file.size());
    if (handle == kInvalidFileHandle) return 0;
    Mp4Parser parser;
    StreamList* list = nullptr;
    const int result = parser.Parse(handle, 12, &list);
    if (result < -1 || result > 1) std::abort();
    if ((result == 1) != (list != nullptr)) std::abort();
    FreeStreamList(list);
    return 0;
}
