// Fuzz target: the H264SpsDecoder over the input bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "H264SpsDecoder.h"

using namespace clipsight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the input is caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(copy.get(), data, size);
    H264SpsDecoder decoder;
    const uint32_t result = decoder.Decode(size == 0 ? nullptr : copy.get(), size);
    if (decoder.decodedCount > 1) std::abort();
    if (decoder.decodedCount == 1 && result != 1) std::abort();
    if (decoder.IsComplete() != (decoder.decodedCount == 1)) std::abort();
    return 0;
}
