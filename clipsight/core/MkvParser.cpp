#include "MkvParser.h"

#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>

#include "BitHelpers.h"

namespace clipsight {

namespace {

// Element ids.
constexpr int64_t kIdEbml = 0x1A45DFA3;
constexpr int64_t kIdDocType = 0x4282;
constexpr int64_t kIdDocTypeReadVersion = 0x4285;
constexpr int64_t kIdEbmlMaxIdLength = 0x42F2;
constexpr int64_t kIdEbmlMaxSizeLength = 0x42F3;
constexpr int64_t kIdEbmlReadVersion = 0x42F7;
constexpr int64_t kIdSegment = 0x18538067;
constexpr int64_t kIdSeekHead = 0x114D9B74;
constexpr int64_t kIdSeek = 0x4DBB;
constexpr int64_t kIdSeekId = 0x53AB;
constexpr int64_t kIdSeekPosition = 0x53AC;
constexpr int64_t kIdInfo = 0x1549A966;
constexpr int64_t kIdTracks = 0x1654AE6B;
constexpr int64_t kIdCues = 0x1C53BB6B;
constexpr int64_t kIdTags = 0x1254C367;
constexpr int64_t kIdCluster = 0x1F43B675;
constexpr int64_t kIdTimecodeScale = 0x2AD7B1;
constexpr int64_t kIdDuration = 0x4489;
constexpr int64_t kIdTrackEntry = 0xAE;
constexpr int64_t kIdTrackNumber = 0xD7;
constexpr int64_t kIdTrackType = 0x83;
constexpr int64_t kIdTrackUid = 0x73C5;
constexpr int64_t kIdDefaultDuration = 0x23E383;
constexpr int64_t kIdTrackTimecodeScale = 0x23314F;
constexpr int64_t kIdCodecId = 0x86;
constexpr int64_t kIdCodecName = 0x258688;
constexpr int64_t kIdCodecPrivate = 0x63A2;
constexpr int64_t kIdLanguage = 0x22B59C;
constexpr int64_t kIdVideo = 0xE0;
constexpr int64_t kIdAudio = 0xE1;
constexpr int64_t kIdStereoMode = 0x53B8;
constexpr int64_t kIdDisplayUnit = 0x54B2;
constexpr int64_t kIdAspectRatioType = 0x54B3;
constexpr int64_t kIdPixelWidth = 0xB0;
constexpr int64_t kIdPixelHeight = 0xBA;
constexpr int64_t kIdDisplayWidth = 0x54B0;
constexpr int64_t kIdDisplayHeight = 0x54BA;
constexpr int64_t kIdPixelCropLeft = 0x54CC;
constexpr int64_t kIdPixelCropTop = 0x54BB;
constexpr int64_t kIdPixelCropRight = 0x54DD;
constexpr int64_t kIdPixelCropBottom = 0x54AA;
constexpr int64_t kIdColourSpace = 0x2EB524;
constexpr int64_t kIdGammaValue = 0x2FB523;
constexpr int64_t kIdFlagInterlaced = 0x9A;
constexpr int64_t kIdSamplingFrequency = 0xB5;
constexpr int64_t kIdOutputSamplingFrequency = 0x78B5;
constexpr int64_t kIdChannels = 0x9F;
constexpr int64_t kIdBitDepth = 0x6264;

constexpr char kBitmapCodecId[] = "V_MS/VFW/FOURCC";
// Offset of the compression FOURCC inside a bitmap-information header.
constexpr uint64_t kBitmapCompressionOffset = 16;
// A SeekHead chain longer than this is not followed further.
constexpr int kMaxSeekHeadChain = 64;

// A double stored in a 32-bit float field: out-of-range values become infinities rather
// than undefined conversions.
float ToFloat(double value) {
    if (std::isnan(value)) return NAN;
    if (value > 3.4028234663852886e38) return INFINITY;
    if (value < -3.4028234663852886e38) return -INFINITY;
    return static_cast<float>(value);
}

// Truncation toward zero into [lo, hi]; values outside the range (or NaN) give `fallback`.
int64_t TruncateOr(double value, double lo, double hi, int64_t fallback) {
    if (!(value >= lo) || !(value < hi)) return fallback;
    return static_cast<int64_t>(value);
}

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

}  // namespace

MkvParser::MkvParser() = default;
MkvParser::~MkvParser() = default;

int MkvParser::Accepts(int containerType) { return containerType == kContainerType ? 1 : 0; }

// ---- EBML primitives ---------------------------------------------------------------------

int64_t MkvParser::ReadElementId() {
    uint8_t first = 0;
    if (reader_->Read(&first, 1, 1, true) != 1 || first == 0xFF) return -1;
    const int extra = CountLeadingZeroBits(first);
    // Ids are at most 4 bytes long; a longer one cannot be read.
    if (extra > 3) return -1;
    int64_t id = first;
    for (int i = 0; i < extra; ++i) {
        uint8_t b = 0;
        if (reader_->Read(&b, 1, 1, true) != 1 || b == 0xFF) return -1;
        id = (id << 8) | b;
    }
    return id;
}

bool MkvParser::ReadElementSize(uint64_t* size) {
    uint8_t first = 0;
    if (reader_->Read(&first, 1, 1, true) != 1) return false;
    const int extra = CountLeadingZeroBits(first);
    // A first byte of 0x00 would announce more than 8 bytes.
    if (extra > 7) return false;
    uint64_t value = first & (0x7Fu >> extra);
    for (int i = 0; i < extra; ++i) {
        uint8_t b = 0;
        if (reader_->Read(&b, 1, 1, true) != 1) return false;
        value = (value << 8) | b;
    }
    *size = value;
    return true;
}

uint64_t MkvParser::ReadUInt(uint64_t n) {
    const uint64_t end = reader_->Tell() + n;
    if (n > 8) SkipTo(end - 8);  // only the low 64 bits matter
    uint8_t bytes[8] = {};
    const int take = static_cast<int>(n > 8 ? 8 : n);
    reader_->Read(bytes, sizeof bytes, take, true);
    uint64_t value = 0;
    for (int i = 0; i < take; ++i) value = (value << 8) | bytes[i];
    SkipTo(end);
    return value;
}

double MkvParser::ReadFloat(uint64_t n) {
    const uint64_t end = reader_->Tell() + n;
    double value = 0;
    if (n == 4 || n == 8) {
        uint8_t bytes[8] = {};
        reader_->Read(bytes, sizeof bytes, static_cast<int>(n), true);
        uint64_t bits = 0;
        for (uint64_t i = 0; i < n; ++i) bits = (bits << 8) | bytes[i];
        if (n == 4) {
            const uint32_t b32 = static_cast<uint32_t>(bits);
            float f;
            std::memcpy(&f, &b32, sizeof f);
            value = f;
        } else {
            std::memcpy(&value, &bits, sizeof value);
        }
    }
    SkipTo(end);
    return value;
}

void MkvParser::ReadString(char* buffer, int capacity, uint64_t n) {
    const uint64_t end = reader_->Tell() + n;
    std::memset(buffer, 0, static_cast<size_t>(capacity));
    const uint64_t room = static_cast<uint64_t>(capacity - 1);
    reader_->Read(reinterpret_cast<uint8_t*>(buffer), capacity - 1,
                  static_cast<int>(n < room ? n : room), true);
    buffer[capacity - 1] = '\0';
    SkipTo(end);
}

void MkvParser::SkipTo(uint64_t position) { reader_->Seek(position); }

// ---- The child walk ----------------------------------------------------------------------

template <typename OnChild>
MkvParser::WalkEnd MkvParser::WalkChildren(uint64_t start, uint64_t end, OnChild&& onChild) {
    reader_->Seek(start);
    while (reader_->Tell() < end) {
        Element child;
        child.position = reader_->Tell();
        child.id = ReadElementId();
        if (child.id == -1 || !ReadElementSize(&child.size)) return WalkEnd::kUnreadableChild;
        child.dataStart = reader_->Tell();
        if constexpr (std::is_void_v<std::invoke_result_t<OnChild&, const Element&>>) {
            onChild(child);
        } else if (onChild(child) == Next::kStop) {
            return WalkEnd::kStopped;
        }
        SkipTo(child.End());
    }
    return WalkEnd::kEnd;
}

int64_t MkvParser::ReadHeaderAt(uint64_t position, int64_t wanted, uint64_t* size) {
    reader_->Seek(position);
    const int64_t id = ReadElementId();
    if (id != wanted) return id;
    return ReadElementSize(size) ? id : -1;
}

// ---- Header and Segment ------------------------------------------------------------------

MkvParser::HeaderResult MkvParser::CheckEbmlHeader(uint64_t* firstSize) {
    reader_->Seek(0);
    const int64_t id = ReadElementId();
    uint64_t size = 0;
    if (id == -1 || !ReadElementSize(&size)) return HeaderResult::kRejected;
    *firstSize = size;
    if (id == kIdSegment) return HeaderResult::kSegmentFirst;
    if (id != kIdEbml) return HeaderResult::kRejected;

    const uint64_t end = reader_->Tell() + size;
    const WalkEnd walk = WalkChildren(reader_->Tell(), end, [&](const Element& child) {
        uint32_t limit = 0;
        switch (child.id) {
            case kIdDocType: {
                char docType[32];
                ReadString(docType, sizeof docType, child.size);
                return std::strcmp(docType, "matroska") == 0 ? Next::kChild : Next::kStop;
            }
            case kIdDocTypeReadVersion:
                limit = 2;
                break;
            case kIdEbmlMaxIdLength:
                limit = 4;
                break;
            case kIdEbmlMaxSizeLength:
                // Sizes of up to 8 bytes are read, and the muxers write 8 here.
                limit = 8;
                break;
            case kIdEbmlReadVersion:
                limit = 1;
                break;
            default:
                // EBMLVersion, DocTypeVersion and the rest carry nothing we use.
                return Next::kChild;
        }
        return static_cast<uint32_t>(ReadUInt(child.size)) > limit ? Next::kStop : Next::kChild;
    });
    if (walk != WalkEnd::kEnd) return HeaderResult::kRejected;
    SkipTo(end);
    return HeaderResult::kEbmlHeader;
}

bool MkvParser::FindSegment() {
    uint64_t firstSize = 0;
    const HeaderResult header = CheckEbmlHeader(&firstSize);
    if (header == HeaderResult::kRejected) return false;

    uint64_t size = firstSize;
    if (header == HeaderResult::kEbmlHeader) {
        // The top level has no end of its own: the file's end shows as an unreadable id.
        const WalkEnd walk = WalkChildren(reader_->Tell(), UINT64_MAX, [&](const Element& child) {
            size = child.size;
            return child.id == kIdSegment ? Next::kStop : Next::kChild;
        });
        if (walk != WalkEnd::kStopped) return false;
    }
    // A file that starts with its Segment (no EBML header) is read the same way.
    segmentStart = reader_->Tell();
    segmentEnd = segmentStart + size;
    ScanSegment(segmentStart, size);
    if (infoPos == 0) return false;
    ParseInfo(infoPos);
    return true;
}

bool MkvParser::AllLevelOnePositionsKnown() const {
    return infoPos != 0 && tracksPos != 0 && cuesPos != 0 && clusterPos != 0;
}

void MkvParser::ScanSegment(uint64_t start, uint64_t size) {
    std::set<uint64_t> seekHeadsRead;  // guards chains that come back
    WalkChildren(start, start + size, [&](const Element& child) {
        switch (child.id) {
            case kIdInfo:
                infoPos = child.position;
                return Next::kChild;
            case kIdTracks:
                tracksPos = child.position;
                return Next::kChild;
            case kIdCues:
                cuesPos = child.position;
                return Next::kChild;
            case kIdTags:
                tagsPos = child.position;
                return Next::kChild;
            case kIdSeekHead:
                if (!ReadSeekHeadChain(child, seekHeadsRead)) return Next::kStop;
                // Otherwise the walk resumes right after this SeekHead.
                return AllLevelOnePositionsKnown() ? Next::kStop : Next::kChild;
            default:
                return AllLevelOnePositionsKnown() ? Next::kStop : Next::kChild;
        }
    });
}

bool MkvParser::ReadSeekHeadChain(const Element& first, std::set<uint64_t>& seekHeadsRead) {
    seekHeadsRead.insert(first.position);
    nextSeekHeadPos = 0;
    ParseSeekHead(first.dataStart, first.size);
    int followed = 0;
    while (nextSeekHeadPos != 0) {
        const uint64_t next = nextSeekHeadPos;
        if (seekHeadsRead.count(next) != 0 || ++followed > kMaxSeekHeadChain) break;
        seekHeadsRead.insert(next);
        uint64_t nextSize = 0;
        const int64_t nextId = ReadHeaderAt(next, kIdSeekHead, &nextSize);
        if (nextId == -1) break;
        if (nextId != kIdSeekHead) return false;  // the chain points elsewhere
        nextSeekHeadPos = 0;
        ParseSeekHead(reader_->Tell(), nextSize);
    }
    nextSeekHeadPos = 0;
    return true;
}

void MkvParser::ParseSeekHead(uint64_t position, uint64_t size) {
    WalkChildren(position, position + size, [&](const Element& child) {
        if (child.id == kIdSeek) ParseSeek(child.dataStart, child.size);
    });
}

void MkvParser::ParseSeek(uint64_t position, uint64_t size) {
    uint32_t seekId = 0;
    uint64_t seekPosition = 0;
    bool havePosition = false;
    WalkChildren(position, position + size, [&](const Element& child) {
        if (child.id == kIdSeekId) {
            seekId = static_cast<uint32_t>(ReadUInt(child.size));
        } else if (child.id == kIdSeekPosition) {
            seekPosition = ReadUInt(child.size);
            havePosition = true;
        }
    });
    // An entry without a position (or one beyond any file) points nowhere.
    if (!havePosition || seekPosition >= (uint64_t(1) << 62)) return;
    const uint64_t target = segmentStart + seekPosition;
    switch (seekId) {
        case kIdSeekHead:
            nextSeekHeadPos = target;
            break;
        case kIdInfo:
            infoPos = target;
            break;
        case kIdTracks:
            tracksPos = target;
            break;
        case kIdCues:
            cuesPos = target;
            break;
        case kIdTags:
            tagsPos = target;
            break;
        case kIdCluster:
            if (clusterPos == 0) clusterPos = target;
            break;
        default:
            break;
    }
}

// ---- Segment Info ------------------------------------------------------------------------

void MkvParser::ParseInfo(uint64_t position) {
    uint64_t size = 0;
    // A position that does not hold Info (a stale index entry) gives no duration.
    if (ReadHeaderAt(position, kIdInfo, &size) != kIdInfo) return;
    durationSeconds = 0;
    double scale = 1000000.0;
    const uint64_t start = reader_->Tell();
    WalkChildren(start, start + size, [&](const Element& child) {
        if (child.id == kIdTimecodeScale) {
            scale = static_cast<uint32_t>(ReadUInt(child.size));
        } else if (child.id == kIdDuration) {
            durationSeconds = ToFloat(scale * ReadFloat(child.size) * 1e-9);
        }
    });
}

// ---- Tracks ------------------------------------------------------------------------------

void MkvParser::GetTracks() {
    if (tracksPos != 0) ParseTracks(tracksPos);
}

void MkvParser::ParseTracks(uint64_t position) {
    uint64_t size = 0;
    if (ReadHeaderAt(position, kIdTracks, &size) != kIdTracks) return;
    const uint64_t start = reader_->Tell();
    WalkChildren(start, start + size, [&](const Element& child) {
        if (child.id == kIdTrackEntry) ParseTrackEntry(child.dataStart, child.size);
    });
}

void MkvParser::ParseTrackEntry(uint64_t position, uint64_t size) {
    StreamDescription d;
    WalkChildren(position, position + size, [&](const Element& child) {
        const uint64_t n = child.size;
        switch (child.id) {
            case kIdTrackNumber:
                d.trackNumber = static_cast<uint8_t>(ReadUInt(n));
                break;
            case kIdTrackType:
                d.trackType = static_cast<uint8_t>(ReadUInt(n));
                break;
            case kIdTrackUid:
                d.trackUid = ReadUInt(n);
                break;
            case kIdDefaultDuration:
                d.defaultDuration = ReadUInt(n);
                break;
            case kIdTrackTimecodeScale:
                d.trackTimecodeScale = ToFloat(ReadFloat(n));
                break;
            case kIdCodecId:
            case kIdCodecName:  // the later of the two wins
                ReadString(d.codecId, sizeof d.codecId, n);
                break;
            case kIdCodecPrivate:
                // A bitmap-information header: its compression FOURCC names the codec.
                if (std::strcmp(d.codecId, kBitmapCodecId) == 0 && n >= 20) {
                    SkipTo(child.dataStart + kBitmapCompressionOffset);
                    ReadString(d.codecId, 5, 4);
                    std::memset(d.codecId + 5, 0, sizeof d.codecId - 5);
                }
                break;
            case kIdLanguage:
                ReadString(d.language, sizeof d.language, n);
                break;
            case kIdVideo:
                ParseVideo(child.dataStart, n, d);
                break;
            case kIdAudio:
                ParseAudio(child.dataStart, n, d);
                break;
            default:
                break;  // flags, caches, URLs and the rest are not used
        }
    });
    if ((d.trackType == kTrackTypeVideo || d.trackType == kTrackTypeAudio) &&
        tracks.size() < static_cast<size_t>(kMaxTracks)) {
        tracks.push_back(d);
    }
}

void MkvParser::ParseVideo(uint64_t position, uint64_t size, StreamDescription& d) {
    VideoDescription& v = d.video;
    v.displayUnit = 0;
    bool displayWidthSeen = false;
    bool displayHeightSeen = false;
    WalkChildren(position, position + size, [&](const Element& child) {
        const uint64_t n = child.size;
        switch (child.id) {
            case kIdStereoMode:
                v.stereoMode = static_cast<uint8_t>(ReadUInt(n));
                break;
            case kIdDisplayUnit:
                v.displayUnit = static_cast<uint8_t>(ReadUInt(n));
                break;
            case kIdAspectRatioType:
                v.aspectRatioType = static_cast<uint8_t>(ReadUInt(n));
                break;
            case kIdPixelWidth:
                v.pixelWidth = static_cast<uint32_t>(ReadUInt(n));
                if (!displayWidthSeen) v.displayWidth = v.pixelWidth;
                break;
            case kIdPixelHeight:
                v.pixelHeight = static_cast<uint32_t>(ReadUInt(n));
                if (!displayHeightSeen) v.displayHeight = v.pixelHeight;
                break;
            case kIdDisplayWidth:
                v.displayWidth = static_cast<uint32_t>(ReadUInt(n));
                displayWidthSeen = true;
                break;
            case kIdDisplayHeight:
                v.displayHeight = static_cast<uint32_t>(ReadUInt(n));
                displayHeightSeen = true;
                break;
            case kIdPixelCropLeft:
                v.pixelCropLeft = static_cast<uint32_t>(ReadUInt(n));
                break;
            case kIdPixelCropTop:
                v.pixelCropTop = static_cast<uint32_t>(ReadUInt(n));
                break;
            case kIdPixelCropRight:
                v.pixelCropRight = static_cast<uint32_t>(ReadUInt(n));
                break;
            case kIdPixelCropBottom:
                v.pixelCropBottom = static_cast<uint32_t>(ReadUInt(n));
                break;
            case kIdColourSpace: {
                uint8_t bytes[4] = {};
                reader_->Read(bytes, 4, static_cast<int>(n < 4 ? n : 4), true);
                std::memcpy(v.colourSpace, bytes, sizeof bytes);
                break;
            }
            case kIdGammaValue:
                v.gammaValue = ToFloat(ReadFloat(n));
                break;
            case kIdFlagInterlaced:
                if (ReadUInt(n) != 0) {
                    v.interlaced |= 1u;
                } else {
                    v.interlaced &= ~1u;
                }
                break;
            default:
                break;
        }
    });
}

void MkvParser::ParseAudio(uint64_t position, uint64_t size, StreamDescription& d) {
    AudioDescription& a = d.audio;
    WalkChildren(position, position + size, [&](const Element& child) {
        switch (child.id) {
            case kIdSamplingFrequency:
                a.samplingFrequency = ToFloat(ReadFloat(child.size));
                break;
            case kIdOutputSamplingFrequency:
                a.outputSamplingFrequency = ToFloat(ReadFloat(child.size));
                break;
            case kIdChannels:
                a.channels = static_cast<uint8_t>(ReadUInt(child.size));
                break;
            case kIdBitDepth:
                a.bitDepth = static_cast<uint8_t>(ReadUInt(child.size));
                break;
            default:
                break;
        }
    });
    if (a.channels == 0) a.channels = 1;
}

// ---- Result ------------------------------------------------------------------------------

void MkvParser::MapCodec(StreamRecord& record, const StreamDescription& d) {
    char text[sizeof d.codecId + 1];
    std::memcpy(text, d.codecId, sizeof d.codecId);
    text[sizeof d.codecId] = '\0';
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
    if (text[0] == '\0') return;
    const bool video = d.trackType == kTrackTypeVideo;

    struct VideoCodec {
        const char* part;
        const char* fourcc;
    };
    static constexpr VideoCodec kVideoCodecs[] = {
        {"AVC", "avc1"}, {"H.264", "avc1"}, {"XVID", "xvid"}, {"X264", "x264"}, {"WVC1", "wvc1"}};
    for (const VideoCodec& codec : kVideoCodecs) {
        if (Contains(text, codec.part)) {
            // A video codec named by an audio track sets nothing.
            if (video) record.subtype = FourccToSubtype(codec.fourcc);
            return;
        }
    }
    if (Contains(text, "AC3")) {
        record.subtype = kSubtypeAc3;
        if (Contains(text, "E_AC3") || Contains(text, "E-AC3")) record.formatTag = kFormatTagEac3;
    } else if (Contains(text, "DTS")) {
        record.subtype = kSubtypeDts;
    } else if (Contains(text, "AAC")) {
        record.subtype = kSubtypeAac;
    }
}

int MkvParser::Parse(FileHandle file, int, StreamList** out) {
    if (file == kInvalidFileHandle || out == nullptr) return kParseNoList;
    // Each parse starts from nothing.
    segmentStart = segmentEnd = nextSeekHeadPos = 0;
    infoPos = tracksPos = cuesPos = tagsPos = clusterPos = 0;
    durationSeconds = 0;
    tracks.clear();
    if (!reader_) {
        reader_.reset(new (std::nothrow) FileReader());
        if (!reader_) return kParseNoList;
    }
    reader_->Open(file, kReaderBufferSize);
    if (reader_->Size() == 0) return kParseNoList;
    if (!FindSegment()) return kParseNoList;
    GetTracks();
    const StreamDescriptionList kept = tracks;
    tracks.clear();
    if (kept.empty()) return kParseNoList;
    // A list handed in by the caller is not ours to fill.
    if (*out != nullptr) return kParseNoList;
    *out = AllocateStreamList(static_cast<int>(kept.size()), kStreamRecordSize);
    if (*out == nullptr) return kParseNoList;

    StreamList* list = *out;
    list->count = static_cast<uint32_t>(kept.size());
    list->durationSeconds =
        static_cast<uint32_t>(TruncateOr(durationSeconds, 0.0, 4294967296.0, 0));
    for (size_t i = 0; i < kept.size(); ++i) {
        const StreamDescription& d = kept[i];
        StreamRecord& r = *list->records[i];
        StartRecordFromDescription(r, d);
        if (d.trackType == kTrackTypeVideo) {
            MapCodec(r, d);
            r.majorType = kMediaTypeVideo;
            if (d.video.displayUnit == 0) {
                r.width = static_cast<int32_t>(d.video.pixelWidth);
                r.height = static_cast<int32_t>(d.video.pixelHeight);
            }
            const int32_t frameNs = static_cast<int32_t>(static_cast<uint32_t>(d.defaultDuration));
            if (d.defaultDuration != 0 && frameNs != 0) r.rate = 1000000000 / frameNs;
        } else {
            MapCodec(r, d);
            r.majorType = kMediaTypeAudio;
            r.channels = d.audio.channels;
            r.rate = static_cast<int32_t>(
                TruncateOr(d.audio.samplingFrequency, -2147483648.0, 2147483648.0, -1));
        }
    }
    return kParseBuilt;
}

}  // namespace clipsight
