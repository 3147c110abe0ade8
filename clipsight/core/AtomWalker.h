// Walks the atom tree of an MP4/QuickTime movie, from the file (Mp4Parser) or from a block of
// memory (an inflated compressed movie header), and gathers the duration and the tracks.
#pragma once

#include <cstdint>
#include <vector>

#include "MediaParser.h"

namespace clipsight {

// Atom types, compared as big-endian 32-bit values.
constexpr uint32_t AtomType(char a, char b, char c, char d) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(d));
}

struct TrackRecord {
    uint32_t width = 0;      // 16.16 value as ReadFixedPair gives it (integer part low)
    uint32_t height = 0;
    uint32_t mediaKind = 0;  // 0 video ('vmhd'), 1 audio ('smhd'), 2 generic ('gmhd')
    uint8_t format[4] = {};  // sample-description format code, file byte order
};

class AtomWalker : public MediaParser {
public:
    // Largest compressed movie header that is read, and largest inflated one.
    static constexpr uint32_t kMaxCompressedHeader = 16u << 20;
    static constexpr uint32_t kMaxInflatedHeader = 64u << 20;
    // Tracks kept; a movie with more keeps the first ones.
    static constexpr uint32_t kMaxTracks = static_cast<uint32_t>(kMaxStreamRecords);

    AtomWalker();
    // Memory form over `length` bytes at `data` (not owned); `depth` counts enclosing inflates.
    AtomWalker(const uint8_t* data, uint32_t length, int depth);
    ~AtomWalker() override;

    int Accepts(int containerType) override;
    int Parse(FileHandle file, int containerType, StreamList** out) override;

    // Source access. Each returns false when it could not deliver everything asked (the walk
    // then ends). The memory form never reads or skips outside its block.
    virtual bool Skip(int64_t n);
    virtual bool Read(void* dst, uint32_t n);

    // Walks the top-level atoms of the source from its start.
    void WalkTopLevel();

    uint32_t duration = 0;    // whole seconds
    uint32_t trackCount = 0;
    std::vector<TrackRecord> tracks;
    uint32_t compressionType = 0;
    uint32_t currentSize = 0;
    uint32_t currentType = 0;
    // Set when the movie header has a zero time scale: the parse is then given up (-1).
    bool faulted = false;

protected:
    bool ReadAtomHeader();
    bool ReadU32BE(uint32_t* value);
    bool ReadFixedPair(uint32_t* value);

    // Ends the walk after a failed read or skip.
    void EndWalk() { stopped_ = true; }

    // The source's size and the walker's position in it.
    uint64_t sourceSize_ = 0;
    uint64_t position_ = 0;

private:
    // Walks the children of the atom [start, end); `handler` handles one child whose header
    // (currentSize / currentType) was just read and whose bytes are [childStart, childEnd).
    template <typename Handler>
    void WalkChildren(uint64_t end, Handler handler);
    bool SeekTo(uint64_t target);
    bool HoldsAtom(uint64_t end);

    void WalkMovie(uint64_t end);
    void ReadMovieHeader(uint64_t childEnd);
    void WalkTrack(uint64_t end);
    void WalkMedia(uint64_t end);
    void WalkMediaInformation(uint64_t end);
    void WalkSampleTable(uint64_t end);
    void ReadSampleDescriptions(uint64_t end);
    void WalkCompressedMovie(uint64_t end);
    void Inflate(uint64_t end);

    const uint8_t* memory_ = nullptr;
    int depth_ = 0;
    TrackRecord* current_ = nullptr;
    bool stopped_ = false;
};

}  // namespace clipsight
