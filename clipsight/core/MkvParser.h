// Container parser for Matroska files: EBML header, Segment, SeekHead index, Segment Info
// and Tracks. No Cluster, Cues or Tags content is read.
#pragma once

#include <cstdint>
#include <memory>

#include "FileReader.h"
#include "MediaParser.h"
#include "StreamDescription.h"

namespace clipsight {

class MkvParser : public NullParser {
public:
    static constexpr int kContainerType = 17;
    static constexpr int kReaderBufferSize = 2048;
    // At most this many video and audio tracks are kept; later ones are dropped.
    static constexpr int kMaxTracks = 256;

    MkvParser();
    ~MkvParser() override;

    int Accepts(int containerType) override;  // 1 for 17
    // 1 when a list was built; 0 for anything that is not a readable Matroska file with a
    // video or audio track. Never -1.
    int Parse(FileHandle file, int containerType, StreamList** out) override;

    // What the last Parse found (for tests and tools).
    uint64_t segmentStart = 0;
    uint64_t segmentEnd = 0;
    uint64_t nextSeekHeadPos = 0;
    uint64_t infoPos = 0;
    uint64_t tracksPos = 0;
    uint64_t cuesPos = 0;
    uint64_t tagsPos = 0;
    uint64_t clusterPos = 0;
    float durationSeconds = 0;
    StreamDescriptionList tracks;

private:
    enum class HeaderResult { kRejected, kEbmlHeader, kSegmentFirst };

    int64_t ReadElementId();
    bool ReadElementSize(uint64_t* size);
    uint64_t ReadUInt(uint64_t n);
    double ReadFloat(uint64_t n);
    void ReadString(char* buffer, int capacity, uint64_t n);
    void SkipTo(uint64_t position);

    HeaderResult CheckEbmlHeader(uint64_t* firstSize);
    bool FindSegment();
    void ScanSegment(uint64_t start, uint64_t size);
    void ParseSeekHead(uint64_t position, uint64_t size);
    void ParseSeek(uint64_t position, uint64_t size);
    void ParseInfo(uint64_t position);
    void GetTracks();
    void ParseTracks(uint64_t position);
    void ParseTrackEntry(uint64_t position, uint64_t size);
    void ParseVideo(uint64_t position, uint64_t size, StreamDescription& description);
    void ParseAudio(uint64_t position, uint64_t size, StreamDescription& description);
    static void MapCodec(StreamRecord& record, const StreamDescription& description);
    bool AllLevelOnePositionsKnown() const;

    std::unique_ptr<FileReader> reader_;
};

}  // namespace clipsight
