// The per-track record that the transport stream and Matroska parsers fill before they
// build the stream list.
#pragma once

#include <cstdint>
#include <vector>

#include "StreamList.h"

namespace clipsight {

enum TrackType : uint8_t {
    kTrackTypeVideo = 1,
    kTrackTypeAudio = 2,
    kTrackTypeSubtitle = 17,
};

struct VideoDescription {
    uint8_t stereoMode;
    uint8_t displayUnit;
    uint8_t aspectRatioType;
    uint32_t pixelWidth;
    uint32_t pixelHeight;
    uint32_t displayWidth;
    uint32_t displayHeight;
    uint32_t pixelCropLeft;
    uint32_t pixelCropTop;
    uint32_t pixelCropRight;
    uint32_t pixelCropBottom;
    uint8_t colourSpace[4];
    float gammaValue;
    uint32_t interlaced;  // bit 0
};

struct AudioDescription {
    float samplingFrequency;
    float outputSamplingFrequency;
    uint8_t channels;
    uint8_t bitDepth;
};

class StreamDescription {
public:
    StreamDescription();  // all zero
    StreamDescription(const StreamDescription&) = default;
    StreamDescription& operator=(const StreamDescription&) = default;
    virtual ~StreamDescription();

    uint8_t trackNumber = 0;  // 1-based; the record's index is trackNumber - 1
    uint8_t trackType = 0;    // TrackType
    uint64_t trackUid = 0;
    uint64_t defaultDuration = 0;  // nanoseconds per frame, 0 unknown
    float trackTimecodeScale = 0;
    char codecId[128] = {};  // NUL-terminated
    char language[4] = {};
    // The video and audio parts share one storage, as the containers fill one or the other.
    union {
        VideoDescription video;
        AudioDescription audio;
    };
};

// The parsers' ordered list of descriptions (insertion order kept).
using StreamDescriptionList = std::vector<StreamDescription>;

// The fields every parser fills first from a description: rate -1, reserved 0,
// index trackNumber - 1 (on the 8-bit value), name the first 31 characters of codecId.
void StartRecordFromDescription(StreamRecord& record, const StreamDescription& description);

}  // namespace clipsight
