// H.264 sequence parameter set (NAL unit type 7 after a 4-byte start code).
#pragma once

#include "VideoHeaderDecoder.h"

namespace clipsight {

class H264SpsDecoder : public VideoHeaderDecoder {
public:
    uint32_t Decode(const uint8_t* buffer, uint64_t length) override;
};

}  // namespace clipsight
