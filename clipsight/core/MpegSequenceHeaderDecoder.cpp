#include "MpegSequenceHeaderDecoder.h"

namespace clipsight {

uint32_t MpegSequenceHeaderDecoder::Decode(const uint8_t* buffer, uint64_t length) {
    if (buffer == nullptr) return 0;
    for (uint64_t i = 0; i + 6 < length; ++i) {
        if (buffer[i] == 0 && buffer[i + 1] == 0 && buffer[i + 2] == 1 && buffer[i + 3] == 0xB3) {
            const uint32_t b4 = buffer[i + 4], b5 = buffer[i + 5], b6 = buffer[i + 6];
            // The 12-bit horizontal and vertical size values.
            return Store(b4 * 16 + b5 / 16, (b5 % 16) * 256 + b6);
        }
    }
    return 0;
}

}  // namespace clipsight
