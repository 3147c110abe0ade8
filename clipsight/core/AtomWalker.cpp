#include "AtomWalker.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

namespace clipsight {

namespace {
constexpr uint32_t kFtyp = AtomType('f', 't', 'y', 'p');
constexpr uint32_t kMdat = AtomType('m', 'd', 'a', 't');
constexpr uint32_t kWide = AtomType('w', 'i', 'd', 'e');
constexpr uint32_t kMoov = AtomType('m', 'o', 'o', 'v');
constexpr uint32_t kFree = AtomType('f', 'r', 'e', 'e');
constexpr uint32_t kCmov = AtomType('c', 'm', 'o', 'v');
constexpr uint32_t kDcom = AtomType('d', 'c', 'o', 'm');
constexpr uint32_t kCmvd = AtomType('c', 'm', 'v', 'd');
constexpr uint32_t kMvhd = AtomType('m', 'v', 'h', 'd');
constexpr uint32_t kTrak = AtomType('t', 'r', 'a', 'k');
constexpr uint32_t kTkhd = AtomType('t', 'k', 'h', 'd');
constexpr uint32_t kMdia = AtomType('m', 'd', 'i', 'a');
constexpr uint32_t kMinf = AtomType('m', 'i', 'n', 'f');
constexpr uint32_t kVmhd = AtomType('v', 'm', 'h', 'd');
constexpr uint32_t kSmhd = AtomType('s', 'm', 'h', 'd');
constexpr uint32_t kGmhd = AtomType('g', 'm', 'h', 'd');
constexpr uint32_t kStbl = AtomType('s', 't', 'b', 'l');
constexpr uint32_t kStsd = AtomType('s', 't', 's', 'd');
constexpr uint32_t kZlib = AtomType('z', 'l', 'i', 'b');

uint32_t BigEndian32(const uint8_t* b) {
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

bool PrintableType(uint32_t type) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        uint32_t c = (type >> shift) & 0xFF;
        if ((c < 0x20 || c > 0x7E) && c != 0xA9) return false;
    }
    return true;
}
}  // namespace

AtomWalker::AtomWalker() = default;

AtomWalker::AtomWalker(const uint8_t* data, uint32_t length, int depth)
    : sourceSize_(data ? length : 0), memory_(data), depth_(depth) {}

AtomWalker::~AtomWalker() = default;

int AtomWalker::Accepts(int) { return 0; }

int AtomWalker::Parse(FileHandle, int, StreamList**) { return kParseNoList; }

bool AtomWalker::Skip(int64_t n) {
    int64_t target = static_cast<int64_t>(position_) + n;
    if (target < 0 || static_cast<uint64_t>(target) > sourceSize_) {
        stopped_ = true;
        return false;
    }
    position_ = static_cast<uint64_t>(target);
    return true;
}

bool AtomWalker::Read(void* dst, uint32_t n) {
    if (memory_ == nullptr || n > sourceSize_ - position_) {
        stopped_ = true;
        return false;
    }
    std::memcpy(dst, memory_ + position_, n);
    position_ += n;
    return true;
}

bool AtomWalker::ReadAtomHeader() {
    uint8_t b[8];
    if (!Read(b, 8)) return false;
    currentSize = BigEndian32(b);
    currentType = BigEndian32(b + 4);
    return true;
}

bool AtomWalker::ReadU32BE(uint32_t* value) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    *value = BigEndian32(b);
    return true;
}

bool AtomWalker::ReadFixedPair(uint32_t* value) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    uint32_t low = (static_cast<uint32_t>(b[0]) << 8) | b[1];
    uint32_t high = (static_cast<uint32_t>(b[2]) << 8) | b[3];
    *value = low | (high << 16);
    return true;
}

bool AtomWalker::SeekTo(uint64_t target) {
    if (target == position_) return true;
    return Skip(static_cast<int64_t>(target) - static_cast<int64_t>(position_));
}

template <typename Handler>
void AtomWalker::WalkChildren(uint64_t end, Handler handler) {
    // Every child must lie inside its parent; an atom too small to be one, or one that runs past
    // its parent, ends the walk.
    while (!stopped_ && position_ + 8 <= end) {
        uint64_t childStart = position_;
        if (!ReadAtomHeader()) break;
        if (currentSize < 8 || childStart + currentSize > end) {
            stopped_ = true;
            break;
        }
        uint64_t childEnd = childStart + currentSize;
        handler(childEnd);
        if (stopped_) break;
        SeekTo(childEnd);
    }
}

// A top-level 'free' holds an atom when its payload starts with a header that fits inside it.
bool AtomWalker::HoldsAtom(uint64_t end) {
    if (position_ + 8 > end) return false;
    uint64_t start = position_;
    if (!ReadAtomHeader()) return false;
    bool holds = currentSize >= 8 && start + currentSize <= end && PrintableType(currentType);
    SeekTo(start);
    return holds && !stopped_;
}

void AtomWalker::WalkTopLevel() {
    const uint64_t end = sourceSize_;
    while (!stopped_ && position_ + 8 <= end) {
        uint64_t start = position_;
        if (!ReadAtomHeader()) return;
        uint64_t atomEnd = start + currentSize;
        if (currentSize == 1) {
            // A 64-bit size follows the type: how a media block over 4 GiB is written.
            uint32_t high = 0;
            uint32_t low = 0;
            if (!ReadU32BE(&high) || !ReadU32BE(&low)) return;
            const uint64_t wide = (uint64_t(high) << 32) | low;
            if (wide < 16 || wide > end - start) return;
            atomEnd = start + wide;
        } else if (currentSize == 0) {
            atomEnd = end;  // the atom runs to the end of the file
        } else if (currentSize < 8) {
            return;
        }
        if (atomEnd > end) {
            // A movie cut off by the end of the file is walked up to that end: what it holds
            // whole is kept. Any other atom that runs past the end ends the walk.
            if (currentType != kMoov) return;
            atomEnd = end;
        }
        switch (currentType) {
        case kFtyp:
        case kMdat:
            SeekTo(atomEnd);
            break;
        case kWide:
            break;  // a bare header
        case kMoov:
            WalkMovie(atomEnd);
            return;
        case kFree:
            // ffmpeg puts an empty 'free' before 'mdat': pass it like 'mdat'. One that holds
            // atoms is walked as the movie.
            if (HoldsAtom(atomEnd)) {
                WalkMovie(atomEnd);
                return;
            }
            SeekTo(atomEnd);
            break;
        default:
            return;
        }
    }
}

void AtomWalker::WalkMovie(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        switch (currentType) {
        case kCmov:
            WalkCompressedMovie(childEnd);
            break;
        case kMvhd:
            ReadMovieHeader(childEnd);
            break;
        case kTrak: {
            if (tracks.size() >= kMaxTracks) break;
            TrackRecord record;
            current_ = &record;
            WalkTrack(childEnd);
            current_ = nullptr;
            tracks.push_back(record);
            ++trackCount;
            break;
        }
        default:
            break;
        }
    });
}

void AtomWalker::ReadMovieHeader(uint64_t childEnd) {
    // Version 0: version and flags, 32-bit creation and modification times, time scale, 32-bit
    // duration. Version 1 widens the times and the duration to 64 bits; reading it as version 0
    // would take a creation time for the time scale.
    if (currentSize < 28) return;
    uint32_t versionAndFlags = 0;
    if (!ReadU32BE(&versionAndFlags)) return;
    const bool wide = (versionAndFlags >> 24) == 1;
    if (wide && currentSize < 40) return;
    uint32_t timeScale = 0;
    uint64_t movieDuration = 0;
    uint32_t high = 0;
    uint32_t low = 0;
    if (!Skip(wide ? 16 : 8) || !ReadU32BE(&timeScale)) return;
    if (wide) {
        if (!ReadU32BE(&high) || !ReadU32BE(&low)) return;
        movieDuration = (uint64_t(high) << 32) | low;
    } else {
        if (!ReadU32BE(&low)) return;
        movieDuration = low;
    }
    if (timeScale == 0) {
        faulted = true;
        stopped_ = true;
        return;
    }
    const uint64_t seconds = movieDuration / timeScale;
    duration = seconds > UINT32_MAX ? UINT32_MAX : uint32_t(seconds);
    (void)childEnd;
}

void AtomWalker::WalkTrack(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        switch (currentType) {
        case kMdia:
            WalkMedia(childEnd);
            break;
        case kTkhd: {
            // Width and height are the last 8 bytes of the atom.
            if (currentSize < 16 || !SeekTo(childEnd - 8)) break;
            uint32_t width = 0;
            uint32_t height = 0;
            if (!ReadFixedPair(&width) || !ReadFixedPair(&height)) break;
            if (current_) {
                current_->width = width;
                current_->height = height;
            }
            break;
        }
        default:
            break;
        }
    });
}

void AtomWalker::WalkMedia(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        if (currentType == kMinf) WalkMediaInformation(childEnd);
    });
}

void AtomWalker::WalkMediaInformation(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        switch (currentType) {
        case kVmhd:
            if (current_) current_->mediaKind = 0;
            break;
        case kSmhd:
            if (current_) current_->mediaKind = 1;
            break;
        case kGmhd:
            if (current_) current_->mediaKind = 2;
            break;
        case kStbl:
            WalkSampleTable(childEnd);
            break;
        default:
            break;
        }
    });
}

void AtomWalker::WalkSampleTable(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        if (currentType == kStsd) ReadSampleDescriptions(childEnd);
    });
}

void AtomWalker::ReadSampleDescriptions(uint64_t end) {
    uint32_t count = 0;
    if (position_ + 8 > end || !Skip(4) || !ReadU32BE(&count)) return;
    // Each entry takes at least 8 bytes of the atom, so the loop ends with the atom.
    for (uint32_t i = 0; i < count && !stopped_ && position_ + 8 <= end; ++i) {
        uint64_t entryStart = position_;
        uint32_t entrySize = 0;
        uint8_t format[4];
        if (!ReadU32BE(&entrySize) || !Read(format, 4)) return;
        if (current_) std::memcpy(current_->format, format, 4);
        if (entrySize < 8 || entryStart + entrySize > end) return;
        SeekTo(entryStart + entrySize);
    }
}

void AtomWalker::WalkCompressedMovie(uint64_t end) {
    WalkChildren(end, [this](uint64_t childEnd) {
        if (currentType == kDcom) {
            if (currentSize >= 12) ReadU32BE(&compressionType);
        } else if (currentType == kCmvd) {
            Inflate(childEnd);
        }
    });
}

void AtomWalker::Inflate(uint64_t end) {
    const uint32_t atomSize = currentSize;
    // Only zlib, and no compressed header inside an inflated one.
    if (compressionType != kZlib || depth_ > 0 || atomSize < 12) return;
    uint32_t declared = 0;
    if (!ReadU32BE(&declared)) return;
    const uint32_t packedLength = atomSize - 12;
    if (packedLength == 0 || packedLength > kMaxCompressedHeader || position_ + packedLength > end) return;
    uint64_t outputSize = 10ull * atomSize - 120;
    if (outputSize < 10240) outputSize = 10240;
    if (outputSize > kMaxInflatedHeader) outputSize = kMaxInflatedHeader;
    // The declared size must be one we allow and must be exactly what inflates.
    if (declared == 0 || declared > outputSize) return;

    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[packedLength]);
    if (!packed || !Read(packed.get(), packedLength)) return;
    std::unique_ptr<uint8_t[]> output(new (std::nothrow) uint8_t[declared]);
    if (!output) return;
    uLongf length = declared;
    int rc = uncompress(output.get(), &length, packed.get(), packedLength);
    packed.reset();
    if (rc != Z_OK || length != declared) return;

    AtomWalker inner(output.get(), static_cast<uint32_t>(length), depth_ + 1);
    inner.WalkTopLevel();
    if (inner.faulted) {
        faulted = true;
        stopped_ = true;
        return;
    }
    duration = inner.duration;
    trackCount = inner.trackCount;
    tracks = std::move(inner.tracks);
}

}  // namespace clipsight
