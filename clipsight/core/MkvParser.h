// Container parser for Matroska files: EBML header, Segment, SeekHead index, Segment Info
// and Tracks. No Cluster, Cues or Tags content is read.
#pragma once

#include <cstdint>
#include <memory>
#include <set>

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

    // One child element as the walk hands it over.
    struct Element {
        int64_t id = -1;
        uint64_t position = 0;   // of its id
        uint64_t dataStart = 0;  // just after its size
        uint64_t size = 0;
        uint64_t End() const { return dataStart + size; }
    };
    // What a child handler tells the walk; a handler that returns nothing always goes on.
    enum class Next { kChild, kStop };
    enum class WalkEnd { kEnd, kUnreadableChild, kStopped };

    // Every master element is read through this one walk: from `start`, while the position is
    // below `end`, read a child's id and size, hand the child to `onChild`, then move to the
    // child's end whatever the handler read. An unreadable id or size ends the walk; so does a
    // handler's kStop, leaving the position where the handler left it.
    template <typename OnChild>
    WalkEnd WalkChildren(uint64_t start, uint64_t end, OnChild&& onChild);
    // Seeks to `position` and reads the id there; when it is `wanted`, also its size. Returns
    // the id read, or -1 when it (or the wanted element's size) cannot be read.
    int64_t ReadHeaderAt(uint64_t position, int64_t wanted, uint64_t* size);

    int64_t ReadElementId();
    bool ReadElementSize(uint64_t* size);
    uint64_t ReadUInt(uint64_t n);
    double ReadFloat(uint64_t n);
    void ReadString(char* buffer, int capacity, uint64_t n);
    void SkipTo(uint64_t position);

    HeaderResult CheckEbmlHeader(uint64_t* firstSize);
    bool FindSegment();
    void ScanSegment(uint64_t start, uint64_t size);
    // Reads `first` and the SeekHeads its entries chain to; false when the chain leads to an
    // element that is not a SeekHead, which ends the Segment scan.
    bool ReadSeekHeadChain(const Element& first, std::set<uint64_t>& seekHeadsRead);
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
