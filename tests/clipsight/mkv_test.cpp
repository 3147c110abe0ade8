// Matroska parser: the ffmpeg fixtures, and hand-built files for what ffmpeg cannot make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "FileIo.h"
#include "MediaTypes.h"
#include "MkvParser.h"
#include "ParserRegistry.h"
#include "StreamList.h"

using namespace clipsight;

namespace {

using Bytes = std::vector<uint8_t>;

// ---- EBML writing ------------------------------------------------------------------------

Bytes MkvId(uint32_t id) {
    Bytes b;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!b.empty() || (id >> shift) != 0) b.push_back(uint8_t(id >> shift));
    }
    return b;
}

// A data size in `width` bytes (0: the shortest that holds it).
Bytes MkvSize(uint64_t size, int width = 0) {
    if (width == 0) {
        width = 1;
        while (width < 8 && size >= (uint64_t(1) << (7 * width)) - 1) ++width;
    }
    Bytes b(size_t(width), 0);
    uint64_t v = size;
    for (int i = width - 1; i >= 0; --i) {
        b[size_t(i)] = uint8_t(v);
        v >>= 8;
    }
    b[0] |= uint8_t(0x80 >> (width - 1));
    return b;
}

// All value bits set: the "unknown" size of the given width.
Bytes MkvUnknownSize(int width = 8) {
    Bytes b(size_t(width), 0xFF);
    b[0] = uint8_t(0xFF >> (width - 1));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes El(uint32_t id, const Bytes& payload, int sizeWidth = 0) {
    return Cat({MkvId(id), MkvSize(payload.size(), sizeWidth), payload});
}

Bytes UIntEl(uint32_t id, uint64_t value, int bytes = 0) {
    Bytes p;
    if (bytes == 0) {
        do {
            p.insert(p.begin(), uint8_t(value));
            value >>= 8;
        } while (value != 0);
    } else {
        for (int i = 0; i < bytes; ++i) p.insert(p.begin(), uint8_t(value >> (8 * i)));
    }
    return El(id, p);
}

Bytes FloatEl(uint32_t id, double value, bool single) {
    Bytes p;
    if (single) {
        float f = float(value);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 3; i >= 0; --i) p.push_back(uint8_t(bits >> (8 * i)));
    } else {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        for (int i = 7; i >= 0; --i) p.push_back(uint8_t(bits >> (8 * i)));
    }
    return El(id, p);
}

Bytes StrEl(uint32_t id, const std::string& s) { return El(id, Bytes(s.begin(), s.end())); }

Bytes EbmlHeader(const std::string& docType = "matroska", Bytes extra = {}) {
    Bytes p = Cat({UIntEl(0x4286, 1), UIntEl(0x42F7, 1), UIntEl(0x42F2, 4), UIntEl(0x42F3, 8)});
    if (!docType.empty()) p = Cat({p, StrEl(0x4282, docType)});
    p = Cat({p, UIntEl(0x4287, 4), UIntEl(0x4285, 2), extra});
    return El(0x1A45DFA3, p);
}

Bytes Info(double durationTicks = 5000.0, bool single = true, Bytes extra = {}) {
    return El(0x1549A966, Cat({UIntEl(0x2AD7B1, 1000000), FloatEl(0x4489, durationTicks, single), extra}));
}

Bytes VideoTrack(uint64_t number, const std::string& codec, uint32_t w, uint32_t h,
                 uint64_t frameNs = 40000000, Bytes extraVideo = {}, Bytes extraEntry = {}) {
    return El(0xAE, Cat({UIntEl(0xD7, number), UIntEl(0x73C5, 1000 + number), UIntEl(0x83, 1),
                         StrEl(0x86, codec), UIntEl(0x23E383, frameNs), extraEntry,
                         El(0xE0, Cat({UIntEl(0xB0, w), UIntEl(0xBA, h), extraVideo}))}));
}

Bytes AudioTrack(uint64_t number, const std::string& codec, double rate, int channels,
                 Bytes extraEntry = {}) {
    Bytes audio = FloatEl(0xB5, rate, false);
    if (channels > 0) audio = Cat({audio, UIntEl(0x9F, uint64_t(channels))});
    return El(0xAE, Cat({UIntEl(0xD7, number), UIntEl(0x83, 2), StrEl(0x86, codec), extraEntry,
                         El(0xE1, audio)}));
}

Bytes Tracks(std::initializer_list<Bytes> entries) {
    Bytes p;
    for (const Bytes& e : entries) p = Cat({p, e});
    return El(0x1654AE6B, p);
}

Bytes Segment(const Bytes& payload) { return El(0x18538067, payload); }

Bytes SimpleFile(const Bytes& tracks, const Bytes& info = Info()) {
    return Cat({EbmlHeader(), Segment(Cat({info, tracks}))});
}

// ---- Running the parser ------------------------------------------------------------------

class MkvTempFile {
public:
    explicit MkvTempFile(const Bytes& bytes, uint64_t sparseSize = 0) {
        char name[] = "/tmp/clipsight_mkv_XXXXXX";
        int fd = ::mkstemp(name);
        path = name;
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        if (sparseSize > bytes.size()) {
            EXPECT_EQ(::ftruncate(fd, off_t(sparseSize)), 0);
        }
        ::close(fd);
    }
    ~MkvTempFile() { ::unlink(path.c_str()); }
    std::string path;
};

struct MkvRun {
    int result = -2;
    StreamList* list = nullptr;
    uint64_t bytesRead = 0;
    MkvRun() = default;
    MkvRun(const MkvRun&) = delete;
    MkvRun(MkvRun&& o) noexcept : result(o.result), list(o.list), bytesRead(o.bytesRead) { o.list = nullptr; }
    ~MkvRun() { FreeStreamList(list); }
    const StreamRecord& rec(uint32_t i) const { return *list->records[i]; }
};

MkvRun ParsePath(const std::string& path, MkvParser* parserOut = nullptr) {
    MkvRun run;
    MkvParser local;
    MkvParser& parser = parserOut != nullptr ? *parserOut : local;
    FileHandle h = OpenFileForReading(path.c_str());
    EXPECT_NE(h, kInvalidFileHandle) << path;
    const uint64_t before = TotalBytesRead();
    run.result = parser.Parse(h, 17, &run.list);
    run.bytesRead = TotalBytesRead() - before;
    CloseFile(h);
    return run;
}

MkvRun ParseBytes(const Bytes& bytes, MkvParser* parser = nullptr) {
    MkvTempFile file(bytes);
    return ParsePath(file.path, parser);
}

std::string Fixture(const char* name) { return std::string(CLIPSIGHT_TEST_DATA) + "/" + name; }

Bytes ReadFixture(const char* name) {
    FileHandle h = OpenFileForReading(Fixture(name).c_str());
    EXPECT_NE(h, kInvalidFileHandle) << name;
    Bytes all(GetFileSize(h));
    EXPECT_EQ(ReadFile(h, all.data(), all.size()), int64_t(all.size()));
    CloseFile(h);
    return all;
}

// ---- ffmpeg fixtures (values checked against ffprobe) --------------------------------------

struct ExpectedTrack {
    const char* name;
    bool video;
    GUID subtype;
    uint32_t formatTag;
    int rate, width, height, channels;
};

struct FixtureCase {
    const char* file;
    uint32_t duration;
    std::vector<ExpectedTrack> tracks;
};

constexpr GUID kZero = {};
const GUID kAvc1 = FourccToSubtype("avc1");

class MkvFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(MkvFixtureTest, ReportsTracksAsFfprobeSeesThem) {
    const FixtureCase& c = GetParam();
    // Through the registry, as a host would open it.
    ParserRegistry registry;
    registry.AddDefaultParsers();
    StreamList* list = nullptr;
    ASSERT_EQ(registry.ProbeAndParse(Fixture(c.file).c_str(), 17, &list), kParseBuilt);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->durationSeconds, c.duration);
    ASSERT_EQ(list->count, c.tracks.size());
    for (size_t i = 0; i < c.tracks.size(); ++i) {
        SCOPED_TRACE(i);
        const ExpectedTrack& e = c.tracks[i];
        const StreamRecord& r = *list->records[i];
        EXPECT_EQ(r.size, 96u);
        EXPECT_EQ(r.index, int(i));
        EXPECT_STREQ(r.name, e.name);
        EXPECT_EQ(r.majorType, e.video ? kMediaTypeVideo : kMediaTypeAudio);
        EXPECT_EQ(r.subtype, e.subtype);
        EXPECT_EQ(r.formatTag, e.formatTag);
        EXPECT_EQ(r.rate, e.rate);
        EXPECT_EQ(r.width, e.width);
        EXPECT_EQ(r.height, e.height);
        EXPECT_EQ(r.channels, e.channels);
    }
    FreeStreamList(list);
}

INSTANTIATE_TEST_SUITE_P(
    Ffmpeg, MkvFixtureTest,
    ::testing::Values(
        FixtureCase{"mkv-h264-aac.mkv", 2,
                    {{"V_MPEG4/ISO/AVC", true, kAvc1, 0, 25, 320, 240, 0},
                     {"A_AAC", false, kSubtypeAac, 0, 48000, 0, 0, 2}}},
        FixtureCase{"mkv-mpeg2-ac3.mkv", 1,
                    {{"V_MPEG2", true, kZero, 0, 29, 352, 288, 0},
                     {"A_AC3", false, kSubtypeAc3, 0, 48000, 0, 0, 6}}},
        FixtureCase{"mkv-h264-eac3.mkv", 1,
                    {{"V_MPEG4/ISO/AVC", true, kAvc1, 0, 50, 640, 360, 0},
                     {"A_EAC3", false, kSubtypeAc3, 0, 44100, 0, 0, 2}}},
        FixtureCase{"mkv-dts.mkv", 1, {{"A_DTS", false, kSubtypeDts, 0, 48000, 0, 0, 2}}},
        FixtureCase{"mkv-h264-mp3.mkv", 3,
                    {{"V_MPEG4/ISO/AVC", true, kAvc1, 0, 23, 176, 144, 0},
                     {"A_MPEG/L3", false, kZero, 0, 22050, 0, 0, 1}}},
        FixtureCase{"mkv-mpeg4-720p.mkv", 0, {{"V_MPEG4/ISO/ASP", true, kZero, 0, 25, 1280, 720, 0}}},
        FixtureCase{"mkv-subtitle.mkv", 1,
                    {{"V_MPEG4/ISO/AVC", true, kAvc1, 0, 25, 160, 120, 0},
                     {"A_AAC", false, kSubtypeAac, 0, 32000, 0, 0, 1}}}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string n = info.param.file;
        for (char& ch : n) {
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return n;
    });

TEST(MkvTest, FixturesWithoutVideoOrAudioOrNotMatroska) {
    EXPECT_EQ(ParsePath(Fixture("mkv-subtitle-only.mkv")).result, kParseNoList);
    // WebM's DocType is not "matroska".
    EXPECT_EQ(ParsePath(Fixture("webm-vp8-vorbis.webm")).result, kParseNoList);
    EXPECT_EQ(ParsePath(Fixture("ts-h264-aac.ts")).result, kParseNoList);
    EXPECT_EQ(ParsePath(Fixture("mp4-h264-aac.mp4")).result, kParseNoList);
}

TEST(MkvTest, FfmpegFilesAreWalkedClusterByClusterReadingOnlyTheirHeaders) {
    // ffmpeg's SeekHead names no Cluster, so nothing ends the scan early: it passes every
    // Cluster by its header up to the Cues behind them. With the index's Cues entry naming
    // another id, only that walk can find the Cues.
    Bytes file = ReadFixture("mkv-mpeg2-ac3.mkv");
    const Bytes cuesId = MkvId(0x1C53BB6B);
    const Bytes cuesEntry = Cat({MkvId(0x53AB), MkvSize(4), cuesId});
    const auto entry = std::search(file.begin(), file.end(), cuesEntry.begin(), cuesEntry.end());
    ASSERT_NE(entry, file.end());
    entry[long(cuesEntry.size()) - 1] ^= 1;
    const auto cues = std::find_end(file.begin(), file.end(), cuesId.begin(), cuesId.end());
    MkvParser parser;
    MkvRun run = ParseBytes(file, &parser);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(parser.clusterPos, 0u);
    EXPECT_EQ(parser.cuesPos, uint64_t(cues - file.begin()));
    EXPECT_LT(run.bytesRead, 16u * 1024);  // the file is 35 KB, nearly all of it Cluster data
}

TEST(MkvTest, EveryTruncationOfAFixtureIsHandled) {
    const Bytes all = ReadFixture("mkv-subtitle.mkv");
    ASSERT_FALSE(all.empty());
    int built = 0;
    for (size_t n = 0; n <= all.size(); n += (n < 1200 ? 1 : 97)) {
        MkvRun run = ParseBytes(Bytes(all.begin(), all.begin() + long(n)));
        ASSERT_TRUE(run.result == kParseBuilt || run.result == kParseNoList) << n;
        if (run.result == kParseBuilt) {
            ++built;
            ASSERT_LE(run.list->count, 2u);
        }
    }
    EXPECT_GT(built, 0);
}

// ---- EBML header --------------------------------------------------------------------------

TEST(MkvHeaderTest, DocTypeMustBeMatroska) {
    const Bytes rest = Segment(Cat({Info(), Tracks({VideoTrack(1, "V_X", 8, 8)})}));
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader("webm"), rest})).result, kParseNoList);
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader("matroskaX"), rest})).result, kParseNoList);
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader("matroska"), rest})).result, kParseBuilt);
    // No DocType at all is accepted.
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader(""), rest})).result, kParseBuilt);
}

TEST(MkvHeaderTest, VersionAndLengthLimits) {
    const Bytes rest = Segment(Cat({Info(), Tracks({VideoTrack(1, "V_X", 8, 8)})}));
    auto run = [&](uint32_t id, uint64_t v) {
        return ParseBytes(Cat({EbmlHeader("matroska", UIntEl(id, v)), rest})).result;
    };
    EXPECT_EQ(run(0x4285, 2), kParseBuilt);   // DocTypeReadVersion
    EXPECT_EQ(run(0x4285, 3), kParseNoList);
    EXPECT_EQ(run(0x42F2, 4), kParseBuilt);   // EBMLMaxIDLength
    EXPECT_EQ(run(0x42F2, 5), kParseNoList);
    // EBMLMaxSizeLength: sizes are up to 8 bytes, and every muxer writes 8.
    EXPECT_EQ(run(0x42F3, 8), kParseBuilt);
    EXPECT_EQ(run(0x42F3, 9), kParseNoList);
    EXPECT_EQ(run(0x42F7, 1), kParseBuilt);   // EBMLReadVersion
    EXPECT_EQ(run(0x42F7, 2), kParseNoList);
    // The limits look at the low 32 bits only.
    EXPECT_EQ(run(0x42F7, 0x100000001ull), kParseBuilt);
}

TEST(MkvHeaderTest, DamagedStartsAreRejected) {
    const Bytes rest = Segment(Cat({Info(), Tracks({VideoTrack(1, "V_X", 8, 8)})}));
    EXPECT_EQ(ParseBytes({}).result, kParseNoList);
    EXPECT_EQ(ParseBytes(Cat({Bytes{0xFF}, rest})).result, kParseNoList);
    EXPECT_EQ(ParseBytes(Cat({El(0xEC, Bytes(4)), rest})).result, kParseNoList);  // Void first
    // A header child whose id cannot be read.
    Bytes bad = EbmlHeader();
    bad.insert(bad.begin() + 5, 0xFF);
    bad[4] = uint8_t(bad[4] + 1);
    EXPECT_EQ(ParseBytes(Cat({bad, rest})).result, kParseNoList);
    // An id longer than 4 bytes, and a size whose first byte is 0.
    EXPECT_EQ(ParseBytes(Cat({Bytes{0x08, 1, 2, 3, 4, 0x81, 0}, rest})).result, kParseNoList);
    EXPECT_EQ(ParseBytes(Cat({MkvId(0x1A45DFA3), Bytes{0x00, 0, 0, 0, 0, 0, 0, 0, 1}, rest})).result,
              kParseNoList);
}

TEST(MkvHeaderTest, ElementsBeforeTheSegmentAreSkipped) {
    const Bytes segment = Segment(Cat({Info(), Tracks({VideoTrack(1, "V_X", 8, 8)})}));
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader(), El(0xEC, Bytes(3000)), segment})).result, kParseBuilt);
    EXPECT_EQ(ParseBytes(EbmlHeader()).result, kParseNoList);  // no Segment
}

TEST(MkvHeaderTest, FileThatStartsWithItsSegmentIsRead) {
    MkvRun run = ParseBytes(Segment(Cat({Info(), Tracks({VideoTrack(1, "V_X", 8, 8)})})));
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->count, 1u);
    EXPECT_EQ(run.list->durationSeconds, 5u);
}

// ---- Sizes ----------------------------------------------------------------------------------

TEST(MkvSizeTest, SizesOfOneToEightBytes) {
    for (int width = 1; width <= 8; ++width) {
        SCOPED_TRACE(width);
        const Bytes video = El(0xE0, Cat({UIntEl(0xB0, 640), UIntEl(0xBA, 480)}), width);
        const Bytes entry = El(0xAE, Cat({UIntEl(0xD7, 1), UIntEl(0x83, 1), StrEl(0x86, "V_MPEG4/ISO/AVC"), video}),
                               width);
        const Bytes file = Cat({EbmlHeader(), El(0x18538067, Cat({El(0x1549A966, FloatEl(0x4489, 7000, false), width),
                                                                   El(0x1654AE6B, entry, width)}),
                                                   width)});
        MkvRun run = ParseBytes(file);
        ASSERT_EQ(run.result, kParseBuilt);
        EXPECT_EQ(run.list->durationSeconds, 7u);
        EXPECT_EQ(run.rec(0).width, 640);
        EXPECT_EQ(run.rec(0).height, 480);
    }
}

TEST(MkvSizeTest, UnknownSizesAreLargeNumbers) {
    // A live-written file: Segment and Cluster of unknown size. The Segment runs to the end of
    // the file; the Cluster runs past it, which ends the scan.
    const Bytes body = Cat({Info(3000), Tracks({AudioTrack(1, "A_AAC", 48000, 2)})});
    const Bytes file = Cat({EbmlHeader(), MkvId(0x18538067), MkvUnknownSize(), body, MkvId(0x1F43B675),
                            MkvUnknownSize(), Bytes(500, 0x42)});
    MkvRun run = ParseBytes(file);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->durationSeconds, 3u);
    EXPECT_EQ(run.rec(0).rate, 48000);
    // An unknown-size Tracks as the last element reads its entries up to the end of the file.
    const Bytes lastTracks = Cat({EbmlHeader(), MkvId(0x18538067), MkvUnknownSize(4), Info(),
                                  MkvId(0x1654AE6B), MkvUnknownSize(1), AudioTrack(2, "A_DTS", 44100, 6)});
    MkvRun run2 = ParseBytes(lastTracks);
    ASSERT_EQ(run2.result, kParseBuilt);
    EXPECT_EQ(run2.rec(0).channels, 6);
}

TEST(MkvSizeTest, HugeSkipsDoNotReadWhatTheyPass) {
    // Info and Tracks, then a 200 MB cluster (sparse), then Tags, without a SeekHead: the scan
    // walks to the end of the file cluster by cluster.
    const Bytes head = Cat({EbmlHeader(), MkvId(0x18538067), MkvUnknownSize(), Info(),
                            Tracks({VideoTrack(1, "V_MPEG4/ISO/AVC", 64, 64)}), MkvId(0x1F43B675),
                            MkvSize(200u << 20, 8)});
    MkvTempFile file(head, head.size() + (200u << 20));
    MkvRun run = ParsePath(file.path);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_LT(run.bytesRead, 16u * 1024);
}

// ---- Segment Info ----------------------------------------------------------------------------

TEST(MkvInfoTest, DurationAndTimecodeScale) {
    const Bytes tracks = Tracks({VideoTrack(1, "V_X", 8, 8)});
    // 5000 ticks of 1 ms, as a 4-byte float.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, Info(5000.0, true))).list->durationSeconds, 5u);
    // No TimecodeScale: 1 ms ticks.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, El(0x1549A966, FloatEl(0x4489, 5000.0, true)))).list->durationSeconds,
              5u);
    // A TimecodeScale after the Duration does not change it.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, El(0x1549A966, Cat({FloatEl(0x4489, 5000.0, true),
                                                                 UIntEl(0x2AD7B1, 1000000000)}))))
                  .list->durationSeconds,
              5u);
    // A 1 s scale before it does.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, El(0x1549A966, Cat({UIntEl(0x2AD7B1, 1000000000),
                                                                 FloatEl(0x4489, 12.9, false)}))))
                  .list->durationSeconds,
              12u);
    // No Duration.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, El(0x1549A966, UIntEl(0x2AD7B1, 1000000)))).list->durationSeconds, 0u);
}

TEST(MkvInfoTest, DurationsNoWholeNumberCanHoldGiveZero) {
    const Bytes tracks = Tracks({VideoTrack(1, "V_X", 8, 8)});
    for (double ticks : {-5000.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
        MkvRun run = ParseBytes(SimpleFile(tracks, Info(ticks, false)));
        ASSERT_EQ(run.result, kParseBuilt);
        EXPECT_EQ(run.list->durationSeconds, 0u) << ticks;
    }
    // A Duration of another length reads as 0.
    EXPECT_EQ(ParseBytes(SimpleFile(tracks, El(0x1549A966, El(0x4489, Bytes{0x45, 0x9C, 0x40}))))
                  .list->durationSeconds,
              0u);
}

TEST(MkvInfoTest, NoInfoMeansNoList) {
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader(), Segment(Tracks({VideoTrack(1, "V_X", 8, 8)}))})).result,
              kParseNoList);
    // Info without Tracks: no track, no list.
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader(), Segment(Info())})).result, kParseNoList);
}

// ---- Tracks -----------------------------------------------------------------------------------

TEST(MkvTrackTest, FrameRateFromDefaultDuration) {
    auto rate = [](uint64_t ns) {
        MkvRun run = ParseBytes(SimpleFile(Tracks({VideoTrack(1, "V_X", 8, 8, ns)})));
        return run.rec(0).rate;
    };
    EXPECT_EQ(rate(41708333), 23);
    EXPECT_EQ(rate(40000000), 25);
    EXPECT_EQ(rate(33366666), 29);
    EXPECT_EQ(rate(20000000), 50);
    EXPECT_EQ(rate(0), -1);
    // Low 32 bits of zero: no rate rather than a division by zero.
    EXPECT_EQ(rate(uint64_t(1) << 32), -1);
}

TEST(MkvTrackTest, AudioRateAndChannels) {
    MkvRun run = ParseBytes(SimpleFile(Tracks({AudioTrack(1, "A_AAC", 44100.0, 0),
                                               AudioTrack(2, "A_AC3", 48000.0, 6)})));
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.rec(0).rate, 44100);
    EXPECT_EQ(run.rec(0).channels, 1);  // no Channels element
    EXPECT_EQ(run.rec(1).channels, 6);
    EXPECT_EQ(run.rec(1).width, 0);
    // A sampling rate no 32-bit number can hold is unknown.
    MkvRun big = ParseBytes(SimpleFile(Tracks({AudioTrack(1, "A_AAC", 1e12, 2)})));
    EXPECT_EQ(big.rec(0).rate, -1);
}

TEST(MkvTrackTest, BitmapHeaderCodecTakesItsFourcc) {
    Bytes bih(40, 0);
    bih[0] = 40;
    std::memcpy(&bih[16], "XVID", 4);
    const Bytes entry = VideoTrack(1, "V_MS/VFW/FOURCC", 320, 240, 40000000, {}, El(0x63A2, bih));
    MkvRun run = ParseBytes(SimpleFile(Tracks({entry})));
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_STREQ(run.rec(0).name, "XVID");
    EXPECT_EQ(run.rec(0).subtype, FourccToSubtype("xvid"));
    EXPECT_EQ(run.rec(0).width, 320);

    // Too short a header, or another codec id: the CodecPrivate is passed over.
    const Bytes shortEntry =
        VideoTrack(1, "V_MS/VFW/FOURCC", 320, 240, 40000000, {}, El(0x63A2, Bytes(bih.begin(), bih.begin() + 19)));
    EXPECT_STREQ(ParseBytes(SimpleFile(Tracks({shortEntry}))).rec(0).name, "V_MS/VFW/FOURCC");
    const Bytes otherEntry = VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 40000000, {}, El(0x63A2, bih));
    EXPECT_STREQ(ParseBytes(SimpleFile(Tracks({otherEntry}))).rec(0).name, "V_MPEG4/ISO/AVC");
}

TEST(MkvTrackTest, CodecMapping) {
    auto audio = [](const std::string& id, Bytes extra = {}) {
        MkvRun run = ParseBytes(SimpleFile(Tracks({AudioTrack(1, id, 48000, 2, extra)})));
        EXPECT_EQ(run.result, kParseBuilt);
        return std::make_pair(run.rec(0).subtype, run.rec(0).formatTag);
    };
    EXPECT_EQ(audio("A_EAC3"), std::make_pair(kSubtypeAc3, 0u));
    // The later CodecName wins, and E-AC3 in it gives the format tag.
    EXPECT_EQ(audio("A_EAC3", StrEl(0x258688, "Dolby E-AC3")), std::make_pair(kSubtypeAc3, kFormatTagEac3));
    EXPECT_EQ(audio("a_e_ac3"), std::make_pair(kSubtypeAc3, kFormatTagEac3));
    EXPECT_EQ(audio("A_DTS"), std::make_pair(kSubtypeDts, 0u));
    EXPECT_EQ(audio("A_AAC/MPEG4/LC"), std::make_pair(kSubtypeAac, 0u));
    EXPECT_EQ(audio("A_VORBIS"), std::make_pair(kZero, 0u));
    // A video codec named by an audio track sets nothing, and stops the search.
    EXPECT_EQ(audio("A_AVC_AAC"), std::make_pair(kZero, 0u));

    auto video = [](const std::string& id, Bytes extra = {}) {
        MkvRun run = ParseBytes(SimpleFile(Tracks({VideoTrack(1, id, 8, 8, 40000000, {}, extra)})));
        EXPECT_EQ(run.result, kParseBuilt);
        return std::make_pair(std::string(run.rec(0).name), run.rec(0).subtype);
    };
    EXPECT_EQ(video("V_MPEG4/ISO/AVC", StrEl(0x258688, "H.264 / AVC")),
              std::make_pair(std::string("H.264 / AVC"), kAvc1));
    EXPECT_EQ(video("h.264").second, kAvc1);
    EXPECT_EQ(video("V_XVID").second, FourccToSubtype("xvid"));
    EXPECT_EQ(video("x264 core").second, FourccToSubtype("x264"));
    EXPECT_EQ(video("V_WVC1").second, FourccToSubtype("wvc1"));
    EXPECT_EQ(video("V_AC3ISH").second, kSubtypeAc3);  // "any track" rows apply to video too
    EXPECT_EQ(video("").second, kZero);
}

TEST(MkvTrackTest, DisplayUnitAndDisplaySizes) {
    // DisplayUnit 1: no picture size is reported.
    MkvRun cm = ParseBytes(SimpleFile(Tracks({VideoTrack(1, "V_X", 720, 576, 40000000, UIntEl(0x54B2, 1))})));
    EXPECT_EQ(cm.rec(0).width, 0);
    EXPECT_EQ(cm.rec(0).height, 0);
    // Display sizes do not change the reported (pixel) size.
    MkvRun disp = ParseBytes(SimpleFile(Tracks({VideoTrack(
        1, "V_X", 720, 576, 40000000, Cat({UIntEl(0x54B0, 1024), UIntEl(0x54BA, 576), UIntEl(0x9A, 1)}))})));
    EXPECT_EQ(disp.rec(0).width, 720);
    EXPECT_EQ(disp.rec(0).height, 576);
}

TEST(MkvTrackTest, TrackNumberGivesIndexOnItsLowByte) {
    MkvRun run = ParseBytes(SimpleFile(Tracks({VideoTrack(0, "V_X", 8, 8), AudioTrack(257, "A_AAC", 8000, 1),
                                               AudioTrack(3, "A_AAC", 8000, 1)})));
    ASSERT_EQ(run.list->count, 3u);
    EXPECT_EQ(run.rec(0).index, -1);
    EXPECT_EQ(run.rec(1).index, 0);
    EXPECT_EQ(run.rec(2).index, 2);
}

TEST(MkvTrackTest, LongCodecTextIsCut) {
    const std::string forty = "V_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZab";
    ASSERT_EQ(forty.size(), 40u);
    MkvRun run = ParseBytes(SimpleFile(Tracks({VideoTrack(1, forty, 8, 8)})));
    EXPECT_EQ(std::string(run.rec(0).name), forty.substr(0, 31));
    // A text longer than the 128-byte field is cut there, and the element is still passed.
    const std::string huge(5000, 'Q');
    MkvRun run2 = ParseBytes(SimpleFile(Tracks({VideoTrack(1, huge, 8, 8), AudioTrack(2, "A_DTS", 8000, 1)})));
    ASSERT_EQ(run2.list->count, 2u);
    EXPECT_EQ(std::string(run2.rec(0).name), std::string(31, 'Q'));
    EXPECT_EQ(run2.rec(1).subtype, kSubtypeDts);
}

TEST(MkvTrackTest, OnlyVideoAndAudioTracksAreKept) {
    const Bytes subtitle = El(0xAE, Cat({UIntEl(0xD7, 2), UIntEl(0x83, 17), StrEl(0x86, "S_TEXT/UTF8")}));
    MkvRun run = ParseBytes(SimpleFile(Tracks({VideoTrack(1, "V_X", 8, 8), subtitle, AudioTrack(3, "A_AAC", 8000, 1)})));
    ASSERT_EQ(run.list->count, 2u);
    EXPECT_EQ(run.rec(1).index, 2);
    EXPECT_EQ(ParseBytes(SimpleFile(Tracks({subtitle}))).result, kParseNoList);
    // A TrackEntry without a type.
    EXPECT_EQ(ParseBytes(SimpleFile(Tracks({El(0xAE, UIntEl(0xD7, 1))}))).result, kParseNoList);
}

TEST(MkvTrackTest, TrackCountIsCapped) {
    Bytes entries;
    const Bytes one = AudioTrack(1, "A_AAC", 8000, 1);
    for (int i = 0; i < MkvParser::kMaxTracks + 50; ++i) entries = Cat({entries, one});
    MkvRun run = ParseBytes(SimpleFile(El(0x1654AE6B, entries)));
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->count, uint32_t(MkvParser::kMaxTracks));
}

TEST(MkvTrackTest, ChildOverrunningItsEntryDoesNotDerailTheNext) {
    // The first entry's Video element claims more bytes than the entry holds; the next entry is
    // still found at the entry's declared end.
    Bytes bad = El(0xAE, Cat({UIntEl(0xD7, 1), UIntEl(0x83, 1), StrEl(0x86, "V_A"),
                              MkvId(0xE0), MkvSize(200), UIntEl(0xB0, 16)}));
    MkvRun run = ParseBytes(SimpleFile(Tracks({bad, AudioTrack(2, "A_AAC", 8000, 1)})));
    ASSERT_EQ(run.result, kParseBuilt);
    ASSERT_EQ(run.list->count, 2u);
    EXPECT_EQ(run.rec(1).rate, 8000);
}

// ---- SeekHead --------------------------------------------------------------------------------

Bytes SeekEntry(uint32_t id, uint64_t relative) {
    return El(0x4DBB, Cat({El(0x53AB, MkvId(id)), UIntEl(0x53AC, relative, 8)}));
}

TEST(MkvSeekTest, CompleteSeekHeadStopsTheScan) {
    // SeekHead listing Info, Tracks, Cues and a Cluster, then an unreadable id: everything is
    // found through the index.
    const Bytes info = Info(9000);
    const Bytes tracks = Tracks({VideoTrack(1, "V_MPEG4/ISO/AVC", 32, 16)});
    const size_t seekHeadSize = El(0x114D9B74, Cat({SeekEntry(0x1549A966, 0), SeekEntry(0x1654AE6B, 0),
                                                     SeekEntry(0x1C53BB6B, 0), SeekEntry(0x1F43B675, 0),
                                                     SeekEntry(0x1F43B675, 0)}))
                                    .size();
    const uint64_t infoAt = seekHeadSize + 1;  // after the 0xFF byte
    const uint64_t tracksAt = infoAt + info.size();
    const Bytes seekHead = El(0x114D9B74, Cat({SeekEntry(0x1549A966, infoAt), SeekEntry(0x1654AE6B, tracksAt),
                                                SeekEntry(0x1C53BB6B, 999999), SeekEntry(0x1F43B675, 888888),
                                                SeekEntry(0x1F43B675, 777)}));
    ASSERT_EQ(seekHead.size(), seekHeadSize);
    MkvParser parser;
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({seekHead, Bytes{0xFF}, info, tracks}))}), &parser);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->durationSeconds, 9u);
    EXPECT_EQ(run.rec(0).width, 32);
    EXPECT_EQ(parser.clusterPos, parser.segmentStart + 888888);  // the first Cluster entry stays
    EXPECT_EQ(parser.cuesPos, parser.segmentStart + 999999);
}

TEST(MkvSeekTest, IncompleteSeekHeadResumesTheScan) {
    const Bytes seekHead = El(0x114D9B74, SeekEntry(0x1254C367, 5));
    MkvParser parser;
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({seekHead, Info(), Tracks({AudioTrack(1, "A_AAC", 8000, 2)})}))}),
                            &parser);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(parser.tagsPos, parser.segmentStart + 5);
}

TEST(MkvSeekTest, ChainedSeekHeadsAreFollowedAndLoopsEnd) {
    const Bytes info = Info(4000);
    const Bytes tracks = Tracks({AudioTrack(1, "A_DTS", 48000, 2)});
    // Layout: SeekHead A (-> B), Void, info, tracks, SeekHead B (-> Info, Tracks, back to A).
    const Bytes voidEl = El(0xEC, Bytes(10));
    const Bytes headA = El(0x114D9B74, SeekEntry(0x114D9B74, 0));  // placeholder for size
    const uint64_t infoAt = headA.size() + voidEl.size();
    const uint64_t tracksAt = infoAt + info.size();
    const uint64_t headBAt = tracksAt + tracks.size();
    const Bytes realA = El(0x114D9B74, SeekEntry(0x114D9B74, headBAt));
    ASSERT_EQ(realA.size(), headA.size());
    const Bytes headB = El(0x114D9B74, Cat({SeekEntry(0x1549A966, infoAt), SeekEntry(0x1654AE6B, tracksAt),
                                             SeekEntry(0x1C53BB6B, 1), SeekEntry(0x1F43B675, 2),
                                             SeekEntry(0x114D9B74, 0)}));
    MkvParser parser;
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({realA, voidEl, info, tracks, headB}))}), &parser);
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->durationSeconds, 4u);
    EXPECT_EQ(parser.cuesPos, parser.segmentStart + 1);

    // A SeekHead that names itself.
    const Bytes self = El(0x114D9B74, SeekEntry(0x114D9B74, 0));
    EXPECT_EQ(ParseBytes(Cat({EbmlHeader(), Segment(Cat({self, info, tracks}))})).result, kParseBuilt);
}

TEST(MkvSeekTest, ChainIntoAnotherElementEndsTheScan) {
    // The chained position holds Info, not a SeekHead: the scan ends with what it has (nothing
    // but the chain's target), so the Info after it is never seen.
    const Bytes head = El(0x114D9B74, SeekEntry(0x114D9B74, 40));
    const Bytes padding = El(0xEC, Bytes(40 - head.size() - 2));
    ASSERT_EQ(head.size() + padding.size(), 40u);
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({head, padding, Info(), Tracks({AudioTrack(1, "A", 1, 1)})}))}));
    EXPECT_EQ(run.result, kParseNoList);
}

TEST(MkvSeekTest, EntriesPointingNowhereAreHarmless) {
    // A Seek without a position, and positions past the end of the file.
    const Bytes head = El(0x114D9B74, Cat({El(0x4DBB, El(0x53AB, MkvId(0x114D9B74))),
                                           SeekEntry(0x1549A966, 1u << 30), SeekEntry(0x114D9B74, 1u << 30)}));
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({head, Tracks({AudioTrack(1, "A_AAC", 8000, 1)})}))}));
    // Info is only known at a position that holds nothing: a list without a duration.
    ASSERT_EQ(run.result, kParseBuilt);
    EXPECT_EQ(run.list->durationSeconds, 0u);
}

TEST(MkvSeekTest, StaleIndexPositionsDoNotReadOtherElementsAsInfoOrTracks) {
    // The index points Info and Tracks at each other's places: neither is read as the other.
    const Bytes info = Info(8000);
    const Bytes tracks = Tracks({AudioTrack(1, "A_AAC", 8000, 1)});
    const Bytes probe = El(0x114D9B74, Cat({SeekEntry(0x1549A966, 0), SeekEntry(0x1654AE6B, 0),
                                            SeekEntry(0x1C53BB6B, 0), SeekEntry(0x1F43B675, 0)}));
    const uint64_t infoAt = probe.size();
    const uint64_t tracksAt = infoAt + info.size();
    const Bytes head = El(0x114D9B74, Cat({SeekEntry(0x1549A966, tracksAt), SeekEntry(0x1654AE6B, infoAt),
                                           SeekEntry(0x1C53BB6B, 0), SeekEntry(0x1F43B675, 0)}));
    MkvRun run = ParseBytes(Cat({EbmlHeader(), Segment(Cat({head, info, tracks}))}));
    EXPECT_EQ(run.result, kParseNoList);  // no Tracks found where the index says
}

// ---- Calls outside the normal road -------------------------------------------------------------

TEST(MkvTest, AcceptsOnlyCode17) {
    MkvParser parser;
    EXPECT_EQ(parser.Accepts(17), 1);
    for (int code : {0, 10, 44, 45, 16, 18, -17}) EXPECT_EQ(parser.Accepts(code), 0);
}

TEST(MkvTest, InvalidHandleOrOccupiedOutput) {
    MkvParser parser;
    StreamList* list = nullptr;
    EXPECT_EQ(parser.Parse(kInvalidFileHandle, 17, &list), kParseNoList);
    EXPECT_EQ(parser.Parse(kInvalidFileHandle, 17, nullptr), kParseNoList);
    MkvTempFile file(SimpleFile(Tracks({AudioTrack(1, "A_AAC", 8000, 1)})));
    FileHandle h = OpenFileForReading(file.path.c_str());
    StreamList* occupied = AllocateStreamList(0, kStreamRecordSize);
    StreamList* same = occupied;
    EXPECT_EQ(parser.Parse(h, 17, &same), kParseNoList);
    EXPECT_EQ(same, occupied);
    FreeStreamList(occupied);
    // The same parser can run again and starts from nothing.
    EXPECT_EQ(parser.Parse(h, 17, &list), kParseBuilt);
    EXPECT_EQ(parser.Parse(h, 17, &list), kParseNoList);  // list now occupied
    EXPECT_EQ(list->count, 1u);
    FreeStreamList(list);
    CloseFile(h);
}

}  // namespace

// The fuzzing regression corpus, replayed here too (without the sanitizers) so that every
// test run checks it.
#include <filesystem>

namespace {

TEST(MkvCorpusTest, RegressionCorpusParsesCleanly) {
    const std::filesystem::path dir = std::filesystem::path(CLIPSIGHT_TEST_DATA) / "corpus" / "mkv";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        MkvRun run = ParsePath(entry.path().string());
        ASSERT_TRUE(run.result == kParseBuilt || run.result == kParseNoList) << entry.path();
        ASSERT_EQ(run.result == kParseBuilt, run.list != nullptr) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
