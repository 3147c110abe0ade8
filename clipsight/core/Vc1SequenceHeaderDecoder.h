// VC-1 sequence header (00 00 01 0F) and, for the advanced profile, the entry point
// (00 00 01 0E) that follows it.
#pragma once

#include "VideoHeaderDecoder.h"

namespace clipsight {

class Vc1SequenceHeaderDecoder : public VideoHeaderDecoder {
public:
    uint32_t Decode(const uint8_t* buffer, uint64_t length) override;

    uint8_t profile = 0;
    uint8_t hrdParamFlag = 0;
    uint8_t hrdBucketCount = 0;
};

}  // namespace clipsight
