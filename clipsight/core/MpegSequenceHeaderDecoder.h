// MPEG-1/2 video sequence header (start code 00 00 01 B3).
#pragma once

#include "VideoHeaderDecoder.h"

namespace clipsight {

class MpegSequenceHeaderDecoder : public VideoHeaderDecoder {
public:
    uint32_t Decode(const uint8_t* buffer, uint64_t length) override;
};

}  // namespace clipsight
