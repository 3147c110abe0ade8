// Transport stream parser: hand-built packets for the tables, classification and PES rules, the
// single tail jump, and the ffmpeg fixtures.
#include <gtest/gtest.h>

#include <memory>

#include "FileIo.h"
#include "MediaTypes.h"
#include "ParserRegistry.h"
#include "StreamList.h"
#include "TsParser.h"
#include "ts_mp4_builders.h"

using namespace clipsight;
using namespace csbuild;

namespace {

struct ListDeleter {
    void operator()(StreamList* l) const { FreeStreamList(l); }
};
using ListPtr = std::unique_ptr<StreamList, ListDeleter>;

struct TsResult {
    int result = -2;
    ListPtr list;
    uint64_t bytesRead = 0;
    int packetSize = 0;
    uint64_t firstSync = 0;
};

TsResult ParseFile(const std::string& path) {
    TsResult r;
    FileHandle file = OpenFileForReading(path.c_str());
    EXPECT_NE(file, kInvalidFileHandle) << path;
    TsParser parser;
    StreamList* list = nullptr;
    r.result = parser.Parse(file, 44, &list);
    r.bytesRead = parser.BytesRead();
    r.packetSize = parser.packetSize;
    r.firstSync = parser.firstSync;
    r.list.reset(list);
    CloseFile(file);
    return r;
}

TsResult ParseBytes(const Bytes& bytes) {
    static ScratchDir dir;
    return ParseFile(dir.Write("stream.ts", bytes));
}

const StreamRecord& Rec(const TsResult& r, uint32_t i) { return *r.list->records[i]; }

// One program at PMT PID 0x100 with the given streams, then one PES per stream.
struct PesSpec {
    int pid;
    uint8_t streamId;
    Bytes data;
    Bytes extraFields = {};
    uint8_t flags2 = 0x80;
};
Bytes OneProgram(int packetSize, const Bytes& programDescriptors, const std::vector<EsEntry>& streams,
                 const std::vector<PesSpec>& pes) {
    TsWriter w(packetSize);
    w.Pat({{1, 0x100}});
    w.Pmt(0x100, 1, programDescriptors, streams);
    for (const PesSpec& p : pes) w.Pes(p.pid, p.streamId, p.data, p.extraFields, p.flags2);
    w.Null(3);
    return w.out;
}

TEST(TsParserTest, AcceptsItsContainerCodesOnly) {
    TsParser parser;
    EXPECT_EQ(parser.Accepts(44), 1);
    EXPECT_EQ(parser.Accepts(45), 1);
    for (int code : {0, 10, 17, 43, 46}) EXPECT_EQ(parser.Accepts(code), 0);
    StreamList* list = nullptr;
    EXPECT_EQ(parser.Parse(kInvalidFileHandle, 44, &list), 0);
}

TEST(TsParserTest, ReadBigEndianTakesOneToEightBytes) {
    const uint8_t b[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(TsParser::ReadBigEndian(b, 1), 1u);
    EXPECT_EQ(TsParser::ReadBigEndian(b, 4), 0x01020304u);
    EXPECT_EQ(TsParser::ReadBigEndian(b, 8), 0x0102030405060708ull);
    EXPECT_EQ(TsParser::ReadBigEndian(b, 0), 0u);
    EXPECT_EQ(TsParser::ReadBigEndian(b, 9), 0u);
}

TEST(TsParserTest, H264StreamTakesItsSizeFromTheSps) {
    for (int size : {188, 192, 204}) {
        TsResult r = ParseBytes(OneProgram(size, {}, {{0x1B, 0x101, {}}}, {{0x101, 0xE0, H264Sps1080()}}));
        ASSERT_EQ(r.result, 1) << size;
        EXPECT_EQ(r.packetSize, size);
        EXPECT_EQ(r.firstSync, size == 192 ? 4u : 0u);
        ASSERT_EQ(r.list->count, 1u);
        EXPECT_EQ(r.list->durationSeconds, 0u);
        const StreamRecord& s = Rec(r, 0);
        EXPECT_STREQ(s.name, "AVC1");
        EXPECT_EQ(s.majorType, kMediaTypeVideo);
        EXPECT_EQ(s.subtype, FourccToSubtype("avc1"));
        EXPECT_EQ(s.width, 1920);
        EXPECT_EQ(s.height, 1080);
        EXPECT_EQ(s.rate, -1);
        EXPECT_EQ(s.index, 0);
    }
}

TEST(TsParserTest, PacketsOf208BytesAreNotAccepted) {
    Bytes stream = OneProgram(204, {}, {{0x04, 0x101, {}}}, {{0x101, 0xC0, Bytes(20, 0)}});
    Bytes wide;
    for (size_t i = 0; i < stream.size(); i += 204) {
        wide.insert(wide.end(), stream.begin() + long(i), stream.begin() + long(i + 204));
        wide.insert(wide.end(), 4, 0x00);
    }
    EXPECT_EQ(ParseBytes(wide).result, 0);
}

TEST(TsParserTest, StrayByteInA192BytePrefixDoesNotBreakSync) {
    Bytes stream = OneProgram(192, {}, {{0x04, 0x101, {}}}, {{0x101, 0xC0, Bytes(20, 0)}});
    stream[0] = 0x47;    // first packet's prefix
    stream[193] = 0x47;  // second packet's prefix
    TsResult r = ParseBytes(stream);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.packetSize, 192);
    EXPECT_EQ(r.firstSync, 4u);
}

TEST(TsParserTest, LeadingJunkBeforeTheFirstSyncByte) {
    Bytes stream = OneProgram(188, {}, {{0x03, 0x101, {}}}, {{0x101, 0xC0, Bytes(20, 0)}});
    stream.insert(stream.begin(), {0x00, 0x12, 0x34});
    TsResult r = ParseBytes(stream);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.firstSync, 3u);
    EXPECT_STREQ(Rec(r, 0).name, "mpeg1_audio");
}

TEST(TsParserTest, Ac3WithoutRegistrationIsTakenFromItsSyncWord) {
    TsResult r = ParseBytes(OneProgram(188, {}, {{0x81, 0x101, {}}}, {{0x101, 0xBD, Ac3Frame(0x40)}}));
    ASSERT_EQ(r.result, 1);
    const StreamRecord& s = Rec(r, 0);
    EXPECT_STREQ(s.name, "AC3");
    EXPECT_EQ(s.majorType, kMediaTypeAudio);
    EXPECT_EQ(s.subtype, kSubtypeAc3);
    EXPECT_EQ(s.formatTag, 0u);
    EXPECT_EQ(s.rate, 0);
    EXPECT_EQ(s.channels, 0);
}

TEST(TsParserTest, Eac3IsToldByItsBitstreamId) {
    for (uint8_t sixth : {0x80, 0x83, 0x87}) {
        TsResult r = ParseBytes(OneProgram(188, {}, {{0x81, 0x101, {}}}, {{0x101, 0xBD, Ac3Frame(sixth)}}));
        ASSERT_EQ(r.result, 1);
        EXPECT_STREQ(Rec(r, 0).name, "EAC3");
        EXPECT_EQ(Rec(r, 0).subtype, kSubtypeAc3);
        EXPECT_EQ(Rec(r, 0).formatTag, 0x33434145u);
    }
    TsResult r = ParseBytes(OneProgram(188, {}, {{0x81, 0x101, {}}}, {{0x101, 0xBD, Ac3Frame(0x88)}}));
    EXPECT_STREQ(Rec(r, 0).name, "AC3");
}

TEST(TsParserTest, RegistrationsSettleStreamsWithoutTheirPes) {
    struct Case {
        uint8_t type;
        const char* registration;
        bool onProgram;
        const char* name;
        uint8_t trackType;
    } cases[] = {
        {0x81, "CUEI", false, "AC3", 2},  {0x81, "GA94", true, "AC3", 2},  {0x86, "HDMV", true, "DTS", 2},
        {0x81, "HDMV", true, "AC3", 2},   {0x80, "HDMV", false, "PCM", 2}, {0x90, "DTS2", false, "DTS", 2},
        {0x87, "none", false, "EAC3", 2}, {0x04, "none", false, "mpeg1_audio", 2},
        {0x0F, "none", false, "AAC", 2},  {0x87, "SCTE", false, "", 2},    {0x83, "HDMV", true, "", 2},
    };
    for (const Case& c : cases) {
        Bytes reg = std::string(c.registration) == "none" ? Bytes{} : Registration(c.registration);
        // No PES at all: the tables alone must settle these.
        Bytes stream = OneProgram(188, c.onProgram ? reg : Bytes{}, {{c.type, 0x101, c.onProgram ? Bytes{} : reg}}, {});
        TsResult r = ParseBytes(stream);
        ASSERT_EQ(r.result, 1) << int(c.type) << c.registration;
        ASSERT_EQ(r.list->count, 1u);
        EXPECT_STREQ(Rec(r, 0).name, c.name) << int(c.type) << c.registration;
        EXPECT_EQ(Rec(r, 0).majorType, c.trackType == 2 ? kMediaTypeAudio : kMediaTypeVideo);
    }
}

TEST(TsParserTest, WhichRegistrationDescriptorsCount) {
    const Bytes other{0x0E, 0x03, 0xC0, 0x00, 0x00};  // a descriptor of another kind
    // A program registration counts only when it opens the program's descriptors: behind
    // another descriptor, 0x87 is read as having none (E-AC-3) instead of SCTE's audio.
    TsResult r = ParseBytes(OneProgram(188, Cat({other, Registration("SCTE")}), {{0x87, 0x101, {}}}, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "EAC3");
    r = ParseBytes(OneProgram(188, Cat({Registration("SCTE"), other}), {{0x87, 0x101, {}}}, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "");
    // A program registration of another length does not count.
    r = ParseBytes(OneProgram(188, Bytes{0x05, 0x05, 'S', 'C', 'T', 'E', 0x00}, {{0x87, 0x101, {}}}, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "EAC3");
    // On a stream every registration descriptor counts, the last one standing.
    r = ParseBytes(OneProgram(188, {}, {{0x86, 0x101, Cat({Registration("SCTE"), other, Registration("HDMV")})}}, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "DTS");
    r = ParseBytes(OneProgram(188, {}, {{0x87, 0x101, Cat({Registration("HDMV"), Registration("SCTE")})}}, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "");
}

TEST(TsParserTest, BluRayDtsTypeIsSettledByItsPes) {
    TsResult r = ParseBytes(OneProgram(192, Registration("HDMV"), {{0x82, 0x1100, {}}}, {{0x1100, 0xBD, DtsFrame()}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "DTS");
    EXPECT_EQ(Rec(r, 0).subtype, kSubtypeDts);
}

TEST(TsParserTest, Vc1WithRegistrationIsDecodedFromAnExtendedStreamId) {
    const Bytes ext{0x01, 0x81, 0x55};  // PES extension flag 2, one byte: stream_id_extension 0x55
    TsResult r = ParseBytes(OneProgram(188, {}, {{0xEA, 0x101, Registration("VC-1")}},
                                       {{0x101, 0xFD, Vc1Advanced1080(), ext, 0x81}}));
    ASSERT_EQ(r.result, 1);
    const StreamRecord& s = Rec(r, 0);
    EXPECT_STREQ(s.name, "VC_1");
    EXPECT_EQ(s.subtype, FourccToSubtype("wvc1"));
    EXPECT_EQ(s.width, 1920);
    EXPECT_EQ(s.height, 1080);
}

TEST(TsParserTest, Vc1WithoutRegistrationIsToldByTheStreamIdExtension) {
    const Bytes ext55{0x01, 0x81, 0x55};
    TsResult r = ParseBytes(OneProgram(188, {}, {{0xEA, 0x101, {}}}, {{0x101, 0xFD, Vc1Advanced1080(), ext55, 0x81}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "VC_1");
    EXPECT_EQ(Rec(r, 0).width, 0);  // no decoder without the registration
    const Bytes ext71{0x01, 0x81, 0x71};
    r = ParseBytes(OneProgram(188, {}, {{0xEA, 0x101, {}}}, {{0x101, 0xFD, DtsFrame(), ext71, 0x81}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "DTS");
}

TEST(TsParserTest, Vc1WithHdmvRegistration) {
    const Bytes ext{0x01, 0x81, 0x55};
    TsResult r = ParseBytes(OneProgram(192, Registration("HDMV"), {{0xEA, 0x1011, {}}},
                                       {{0x1011, 0xFD, Vc1Advanced1080(), ext, 0x81}}));
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "VC_1");
    EXPECT_EQ(Rec(r, 0).width, 1920);
}

TEST(TsParserTest, PrivateStreamTypesSettledByStreamId) {
    TsResult r = ParseBytes(OneProgram(188, {}, {{0x80, 0x101, {}}, {0x06, 0x102, {}}},
                                       {{0x101, 0xBD, Bytes(10, 0)}, {0x102, 0xBD, DtsFrame()}}));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_STREQ(Rec(r, 0).name, "PCM");
    EXPECT_STREQ(Rec(r, 1).name, "DTS");
}

TEST(TsParserTest, DroppedAndUnseenStreamsAreLeftOut) {
    // 0x05 is dropped by type, 0x99 without registration too; 0x06 never has a PES.
    TsResult r = ParseBytes(OneProgram(188, {}, {{0x05, 0x101, {}}, {0x99, 0x102, {}}, {0x06, 0x103, {}},
                                                 {0x02, 0x104, {}}},
                                       {{0x104, 0xE0, {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x33}}}));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(Rec(r, 0).name, "MPEG2");
    EXPECT_EQ(Rec(r, 0).subtype, kSubtypeMpeg2Video);
    EXPECT_EQ(Rec(r, 0).width, 720);
    EXPECT_EQ(Rec(r, 0).height, 576);
    EXPECT_EQ(Rec(r, 0).index, 0);
}

TEST(TsParserTest, BadPesFlagsDropTheStream) {
    TsWriter w;
    w.Pat({{1, 0x100}});
    // An H.264 stream whose PES header lacks the '10' marker bits.
    w.Pmt(0x100, 1, {}, {{0x1B, 0x101, {}}, {0x03, 0x102, {}}});
    w.Packet(0x101, true, {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x40, 0x00, 0x00});
    w.Null(2);
    TsResult r = ParseBytes(w.out);
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(Rec(r, 0).name, "mpeg1_audio");
    EXPECT_EQ(Rec(r, 0).index, 0);
}

TEST(TsParserTest, StreamsOfEveryProgramInOrder) {
    TsWriter w;
    w.Pat({{1, 0x100}, {0, 0x10}, {2, 0x200}});  // program 0 is the network PID, not a program
    w.Pmt(0x200, 2, {}, {{0x0F, 0x201, {}}});
    w.Pmt(0x100, 1, {}, {{0x03, 0x101, {}}, {0x04, 0x102, {}}});
    w.Pmt(0x100, 1, {}, {{0x03, 0x101, {}}, {0x04, 0x102, {}}});  // repeated: read once
    w.Null();
    TsResult r = ParseBytes(w.out);
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 3u);
    EXPECT_STREQ(Rec(r, 0).name, "mpeg1_audio");
    EXPECT_STREQ(Rec(r, 2).name, "AAC");
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Rec(r, i).index, int(i));
}

TEST(TsParserTest, CrcIsNotReadAsAStreamEntry) {
    // A PMT whose CRC bytes would read as stream_type 0x03 on PID 0x0101 if taken for an entry.
    TsWriter w;
    w.Pat({{1, 0x100}});
    w.Pmt(0x100, 1, {}, {{0x0F, 0x120, {}}});
    Bytes& out = w.out;
    // Overwrite the CRC of the PMT (the second packet).
    uint8_t* p = &out[188];
    size_t payload = 5 + p[4];
    uint8_t* section = p + payload + 1;
    int sectionLength = ((section[1] & 0x0F) << 8) | section[2];
    uint8_t* crc = section + 3 + sectionLength - 4;
    crc[0] = 0x03;
    crc[1] = 0xE1;
    crc[2] = 0x01;
    crc[3] = 0xF0;
    w.Null();
    TsResult r = ParseBytes(out);
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(Rec(r, 0).name, "AAC");
}

TEST(TsParserTest, TableFailures) {
    // No PAT.
    TsWriter none;
    none.Null(5);
    EXPECT_EQ(ParseBytes(none.out).result, 0);
    // A PAT whose PMT never comes.
    TsWriter noPmt;
    noPmt.Pat({{1, 0x100}});
    noPmt.Null(5);
    EXPECT_EQ(ParseBytes(noPmt.out).result, 0);
    // Sixteen programs.
    TsWriter many;
    std::initializer_list<std::pair<int, int>> sixteen = {{1, 0x100}, {2, 0x101}, {3, 0x102}, {4, 0x103},
                                                         {5, 0x104}, {6, 0x105}, {7, 0x106}, {8, 0x107},
                                                         {9, 0x108}, {10, 0x109}, {11, 0x10A}, {12, 0x10B},
                                                         {13, 0x10C}, {14, 0x10D}, {15, 0x10E}, {16, 0x10F}};
    many.Pat(sixteen);
    many.Null(3);
    EXPECT_EQ(ParseBytes(many.out).result, 0);
    // Thirty-two streams in one program.
    std::vector<EsEntry> streams;
    for (int i = 0; i < 32; ++i) streams.push_back({0x03, 0x200 + i, {}});
    EXPECT_EQ(ParseBytes(OneProgram(188, {}, streams, {})).result, 0);
    streams.pop_back();
    TsResult r = ParseBytes(OneProgram(188, {}, streams, {}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 31u);
    // Only dropped streams.
    EXPECT_EQ(ParseBytes(OneProgram(188, {}, {{0x05, 0x101, {}}}, {})).result, 0);
    // No sync pattern, an empty file, a short file.
    EXPECT_EQ(ParseBytes(Bytes(4000, 0x00)).result, 0);
    EXPECT_EQ(ParseBytes(Bytes()).result, 0);
    EXPECT_EQ(ParseBytes(Bytes{0x47}).result, 0);
}

TEST(TsParserTest, MalformedProgramMapsAreReadWithinTheirBounds) {
    // A PMT whose program_info_length runs past the section, and one whose ES_info_length does.
    TsWriter w;
    w.Pat({{1, 0x100}, {2, 0x200}});
    Bytes bad{0x02, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
    w.Section(0x100, bad);
    w.Pmt(0x200, 2, {}, {{0x03, 0x201, {}}, {0x04, 0x202, Bytes(300, 0x05)}});
    w.Null();
    TsResult r = ParseBytes(w.out);
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);  // the entry whose descriptors overrun the packet ends the loop
    EXPECT_STREQ(Rec(r, 0).name, "mpeg1_audio");
    // A PMT too short for its header counts as read, with no streams.
    TsWriter tiny;
    tiny.Pat({{1, 0x100}});
    tiny.Packet(0x100, true, {0x00, 0x02, 0xB0, 0x05});
    tiny.Null();
    EXPECT_EQ(ParseBytes(tiny.out).result, 0);
}

TEST(TsParserTest, PidsBeyondTheTableAreLeftOut) {
    std::vector<EsEntry> first, second;
    for (int i = 0; i < 20; ++i) first.push_back({0x03, 0x300 + i, {}});
    for (int i = 0; i < 20; ++i) second.push_back({0x0F, 0x400 + i, {}});
    TsWriter w;
    w.Pat({{1, 0x100}, {2, 0x200}});
    w.Pmt(0x100, 1, {}, first);
    w.Pmt(0x200, 2, {}, second);
    w.Null();
    TsResult r = ParseBytes(w.out);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, uint32_t(TsParser::kMaxPids));
}

TEST(TsParserTest, CallerListTooSmallIsRefused) {
    ScratchDir dir;
    FileHandle file = OpenFileForReading(
        dir.Write("s.ts", OneProgram(188, {}, {{0x03, 0x101, {}}, {0x04, 0x102, {}}}, {})).c_str());
    TsParser parser;
    StreamList* list = AllocateStreamList(1, kStreamRecordSize);
    StreamList* given = list;
    EXPECT_EQ(parser.Parse(file, 44, &list), 0);
    EXPECT_EQ(list, given);
    FreeStreamList(list);
    EXPECT_EQ(parser.Parse(file, 44, nullptr), 0);
    CloseFile(file);
}

// A long stream: the tables, 'fill' bytes of null packets, then the video's first PES.
Bytes LongStream(uint64_t fill, bool videoInTheMiddle, int packetSize = 188) {
    TsWriter w(packetSize);
    w.Pat({{1, 0x100}});
    w.Pmt(0x100, 1, {}, {{0x1B, 0x101, {}}, {0x03, 0x102, {}}});
    uint64_t packets = fill / uint64_t(packetSize);
    TsWriter nulls(packetSize);
    nulls.Null(200);
    Bytes out = w.out;
    for (uint64_t i = 0; i < packets; i += 200) {
        if (videoInTheMiddle && i >= packets / 2 && i < packets / 2 + 200) {
            TsWriter v(packetSize);
            v.Pes(0x101, 0xE0, H264Sps1080());
            out.insert(out.end(), v.out.begin(), v.out.end());
        }
        out.insert(out.end(), nulls.out.begin(), nulls.out.end());
    }
    if (!videoInTheMiddle) {
        TsWriter v(packetSize);
        v.Pes(0x101, 0xE0, H264Sps1080());
        out.insert(out.end(), v.out.begin(), v.out.end());
        v.out.clear();
        v.Null(10);
        out.insert(out.end(), v.out.begin(), v.out.end());
    }
    return out;
}

TEST(TsParserTest, LongStreamIsReadInItsFirstAndLast16MiBOnly) {
    const uint64_t mib = 1 << 20;
    TsResult r = ParseBytes(LongStream(48 * mib, false));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_EQ(Rec(r, 0).width, 1920);
    EXPECT_LE(r.bytesRead, 33 * mib);
    EXPECT_GE(r.bytesRead, 32 * mib);
    // A stream that shows itself only in the skipped middle is not seen and left out.
    r = ParseBytes(LongStream(48 * mib, true));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(Rec(r, 0).name, "mpeg1_audio");
    // 192-byte packets: the jump keeps the grid of the first sync byte, four bytes in.
    r = ParseBytes(LongStream(48 * mib, false, 192));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_EQ(Rec(r, 0).width, 1920);
    EXPECT_LE(r.bytesRead, 33 * mib);
}

// ---- ffmpeg fixtures ----------------------------------------------------------------------

struct TsStream {
    const char* name;
    int width;
    int height;
};
struct TsFixture {
    const char* file;
    int packetSize;
    std::vector<TsStream> streams;
};

class TsFixtureTest : public ::testing::TestWithParam<TsFixture> {};

TEST_P(TsFixtureTest, StreamsAsFfprobeSeesThem) {
    const TsFixture& f = GetParam();
    TsResult r = ParseFile(DataPath(f.file));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.packetSize, f.packetSize);
    ASSERT_EQ(r.list->count, f.streams.size());
    EXPECT_EQ(r.list->durationSeconds, 0u);
    for (size_t i = 0; i < f.streams.size(); ++i) {
        const StreamRecord& s = Rec(r, uint32_t(i));
        EXPECT_EQ(s.index, int(i));
        EXPECT_STREQ(s.name, f.streams[i].name) << i;
        EXPECT_EQ(s.width, f.streams[i].width) << i;
        EXPECT_EQ(s.height, f.streams[i].height) << i;
        bool video = f.streams[i].width != 0;
        EXPECT_EQ(s.majorType, video ? kMediaTypeVideo : kMediaTypeAudio) << i;
        EXPECT_EQ(s.rate, video ? -1 : 0) << i;
        EXPECT_EQ(s.channels, 0) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TsFixtureTest,
    ::testing::Values(TsFixture{"ts-mpeg2-mp2.ts", 188, {{"MPEG2", 352, 288}, {"mpeg1_audio", 0, 0}}},
                      TsFixture{"ts-h264-aac.ts", 188, {{"AVC1", 320, 180}, {"AAC", 0, 0}}},
                      TsFixture{"ts-h264-ac3.ts", 188, {{"AVC1", 640, 360}, {"AC3", 0, 0}}},
                      TsFixture{"ts-eac3.ts", 188, {{"EAC3", 0, 0}}},
                      TsFixture{"m2ts-h264-dts.m2ts", 192, {{"AVC1", 176, 144}, {"DTS", 0, 0}}},
                      // ffmpeg labels MPEG-1 video with stream_type 0x02, so it reads as MPEG-2.
                      TsFixture{"ts-mpeg1.ts", 188, {{"MPEG2", 160, 120}}},
                      TsFixture{"ts-two-programs.ts",
                                188,
                                {{"MPEG2", 352, 288}, {"mpeg1_audio", 0, 0}, {"AVC1", 320, 240}, {"AAC", 0, 0}}}));

TEST(TsParserTest, FixtureSubtypesAndFormatTags) {
    TsResult r = ParseFile(DataPath("ts-eac3.ts"));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(Rec(r, 0).subtype, kSubtypeAc3);
    EXPECT_EQ(Rec(r, 0).formatTag, kFormatTagEac3);
    r = ParseFile(DataPath("ts-two-programs.ts"));
    EXPECT_EQ(Rec(r, 0).subtype, kSubtypeMpeg2Video);
    EXPECT_EQ(Rec(r, 1).subtype, kSubtypeMpeg1Audio);
    EXPECT_EQ(Rec(r, 2).subtype, FourccToSubtype("avc1"));
    EXPECT_EQ(Rec(r, 3).subtype, kSubtypeAac);
    r = ParseFile(DataPath("m2ts-h264-dts.m2ts"));
    EXPECT_EQ(Rec(r, 1).subtype, kSubtypeDts);
    for (uint32_t i = 0; i < r.list->count; ++i) EXPECT_EQ(Rec(r, i).formatTag, 0u);
}

TEST(TsParserTest, Mpeg1VideoStreamTypeGivesMpeg1) {
    // The MPEG-1 fixture with its PMT's stream_type set to 0x01.
    Bytes stream = ReadAll(DataPath("ts-mpeg1.ts"));
    size_t at = 0;
    while (at + 188 <= stream.size() && (((stream[at + 1] & 0x1F) << 8) | stream[at + 2]) != 0x1000) at += 188;
    ASSERT_LT(at + 188, stream.size());
    uint8_t* p = &stream[at];
    size_t payload = (p[3] & 0x20) ? 5 + p[4] : 4;
    uint8_t* section = p + payload + 1;
    int programInfoLength = ((section[10] & 0x0F) << 8) | section[11];
    uint8_t* entry = section + 12 + programInfoLength;
    ASSERT_EQ(entry[0], 0x02);
    entry[0] = 0x01;
    TsResult r = ParseBytes(stream);
    ASSERT_EQ(r.result, 1);
    EXPECT_STREQ(Rec(r, 0).name, "MPEG1");
    EXPECT_EQ(Rec(r, 0).subtype, kSubtypeMpeg1Video);
    EXPECT_EQ(Rec(r, 0).width, 160);
}

TEST(TsParserTest, RegistryTakesTransportStreamsForItsCodesOnly) {
    ParserRegistry registry;
    registry.AddDefaultParsers();
    StreamList* list = nullptr;
    EXPECT_EQ(registry.ProbeAndParse(DataPath("ts-h264-aac.ts").c_str(), 45, &list), 1);
    ListPtr owned(list);
    ASSERT_TRUE(owned);
    EXPECT_EQ(owned->count, 2u);
    StreamList* other = nullptr;
    EXPECT_EQ(registry.ProbeAndParse(DataPath("mp4-h264-aac.mp4").c_str(), 44, &other), 0);
    EXPECT_EQ(other, nullptr);
}

}  // namespace
