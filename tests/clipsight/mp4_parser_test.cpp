// MP4/QuickTime parser: hand-built atom trees (the walker's rules and its bounds) and the ffmpeg
// fixtures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "AtomWalker.h"
#include "FileIo.h"
#include "Mp4Parser.h"
#include "ParserRegistry.h"
#include "StreamList.h"
#include "ts_mp4_builders.h"

using namespace clipsight;
using namespace csbuild;

namespace {

struct ListDeleter {
    void operator()(StreamList* l) const { FreeStreamList(l); }
};
using ListPtr = std::unique_ptr<StreamList, ListDeleter>;

struct Mp4Result {
    int result = -2;
    ListPtr list;
    uint64_t bytesRead = 0;
};

Mp4Result ParseFile(const std::string& path) {
    Mp4Result r;
    FileHandle file = OpenFileForReading(path.c_str());
    EXPECT_NE(file, kInvalidFileHandle) << path;
    Mp4Parser parser;
    StreamList* list = nullptr;
    uint64_t before = TotalBytesRead();
    r.result = parser.Parse(file, 10, &list);
    r.bytesRead = TotalBytesRead() - before;
    r.list.reset(list);
    CloseFile(file);
    return r;
}

Mp4Result ParseBytes(const Bytes& bytes) {
    static ScratchDir dir;
    return ParseFile(dir.Write("movie.mp4", bytes));
}

Bytes SimpleMovie(uint32_t timeScale = 600, uint32_t duration = 60000) {
    return Atom("moov", Cat({Mvhd(timeScale, duration), VideoTrak(1280u << 16, 720u << 16, "avc1")}));
}

void ExpectAvc720(const Mp4Result& r, uint32_t seconds = 100) {
    ASSERT_EQ(r.result, 1);
    ASSERT_TRUE(r.list);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_EQ(r.list->durationSeconds, seconds);
    const StreamRecord& s = *r.list->records[0];
    EXPECT_EQ(s.index, 0);
    EXPECT_STREQ(s.name, "avc1");
    EXPECT_EQ(s.width, 1280);
    EXPECT_EQ(s.height, 720);
    EXPECT_EQ(s.rate, 0);
    EXPECT_EQ(s.channels, 0);
    EXPECT_EQ(s.formatTag, 0u);
    EXPECT_EQ(s.majorType, GUID{});
    EXPECT_EQ(s.subtype, GUID{});
}

TEST(Mp4ParserTest, AcceptsItsContainerCodesOnly) {
    Mp4Parser parser;
    for (int code : {10, 11, 12, 31, 32}) EXPECT_EQ(parser.Accepts(code), 1) << code;
    for (int code : {0, 9, 13, 17, 30, 33, 44, 45, -10}) EXPECT_EQ(parser.Accepts(code), 0) << code;
    AtomWalker walker;
    EXPECT_EQ(walker.Accepts(10), 0);
    EXPECT_EQ(walker.Parse(kInvalidFileHandle, 10, nullptr), 0);
}

TEST(Mp4ParserTest, PlainMovieGivesItsTrackAndDuration) {
    ExpectAvc720(ParseBytes(Cat({Ftyp(), Mdat(100), SimpleMovie()})));
}

TEST(Mp4ParserTest, DurationIsTruncatedToWholeSeconds) {
    ExpectAvc720(ParseBytes(Cat({Ftyp(), SimpleMovie(600, 59999)})), 99);
}

TEST(Mp4ParserTest, VersionOneMovieHeaderHasWideTimesAndDuration) {
    // Version 1: flags word, 64-bit creation and modification times, time scale, 64-bit duration.
    Bytes p;
    Put32(p, 0x01000000);
    Put32(p, 0xDEAD);  // creation time (high, low): never read as the time scale
    Put32(p, 0xBEEF);
    Put32(p, 0);
    Put32(p, 0);
    Put32(p, 1000);    // time scale
    Put32(p, 1);       // duration 0x1'0000'0000 + 1000 units
    Put32(p, 1000);
    p.resize(112, 0);
    const Bytes movie = Atom("moov", Cat({Atom("mvhd", p), VideoTrak(1280u << 16, 720u << 16, "avc1")}));
    ExpectAvc720(ParseBytes(Cat({Ftyp(), movie})), uint32_t((0x100000000ull + 1000) / 1000));
}

TEST(Mp4ParserTest, FixedPointWidthKeepsItsFractionInTheHighHalf) {
    Bytes moov = Atom("moov", Cat({Mvhd(600, 600), VideoTrak((1280u << 16) | 0x8000, 720u << 16, "avc1")}));
    Mp4Result r = ParseBytes(Cat({Ftyp(), moov}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(uint32_t(r.list->records[0]->width), 0x80000500u);
}

TEST(Mp4ParserTest, FfmpegLayoutWithEmptyFreeBeforeMdatStillFindsTheMovie) {
    // ftyp, an 8-byte free, mdat, moov: what ffmpeg writes by default.
    ExpectAvc720(ParseBytes(Cat({Ftyp(), Atom("free"), Mdat(500), SimpleMovie()})));
    // A free holding padding that is no atom is passed too.
    ExpectAvc720(ParseBytes(Cat({Ftyp(), Atom("free", Bytes(40, 0)), Mdat(10), SimpleMovie()})));
}

TEST(Mp4ParserTest, FreeThatHoldsAtomsIsWalkedAsTheMovieAndEndsTheWalk) {
    Bytes inner = Cat({Mvhd(1000, 5000), VideoTrak(640u << 16, 480u << 16, "mp4v")});
    Mp4Result r = ParseBytes(Cat({Ftyp(), Atom("free", inner), SimpleMovie()}));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(r.list->records[0]->name, "mp4v");
    EXPECT_EQ(r.list->durationSeconds, 5u);
}

TEST(Mp4ParserTest, OtherFirstAtomEndsTheWalkWithAnEmptyList) {
    Mp4Result r = ParseBytes(Cat({Atom("skip", Zeros(8)), SimpleMovie()}));
    ASSERT_EQ(r.result, 1);
    ASSERT_TRUE(r.list);
    EXPECT_EQ(r.list->count, 0u);
    EXPECT_EQ(r.list->durationSeconds, 0u);
}

TEST(Mp4ParserTest, WideIsABareHeader) {
    ExpectAvc720(ParseBytes(Cat({Ftyp(), Atom("wide"), Mdat(30), SimpleMovie()})));
}

TEST(Mp4ParserTest, LastSampleDescriptionWins) {
    Bytes trak = Atom("trak", Atom("mdia", Atom("minf", Cat({Atom("smhd", Zeros(8)),
                                                             Atom("stbl", Stsd({"mp4a", "alac"}))}))));
    Mp4Result r = ParseBytes(Cat({Ftyp(), Atom("moov", Cat({Mvhd(44100, 44100), trak}))}));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(r.list->records[0]->name, "alac");
    EXPECT_EQ(r.list->records[0]->width, 0);
}

TEST(Mp4ParserTest, TrackWithoutHeaderOrDescriptionsKeepsZeros) {
    Bytes noTkhd = Atom("trak", Atom("mdia", Atom("minf", Atom("stbl", Stsd({"avc1"})))));
    Bytes noStsd = Atom("trak", Tkhd(320u << 16, 240u << 16));
    Mp4Result r = ParseBytes(Cat({Ftyp(), Atom("moov", Cat({Mvhd(1, 1), noTkhd, noStsd}))}));
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_STREQ(r.list->records[0]->name, "avc1");
    EXPECT_EQ(r.list->records[0]->width, 0);
    EXPECT_EQ(r.list->records[0]->height, 0);
    EXPECT_STREQ(r.list->records[1]->name, "");
    EXPECT_EQ(r.list->records[1]->width, 320);
    EXPECT_EQ(r.list->records[1]->index, 1);
}

TEST(Mp4ParserTest, ZeroTimeScaleGivesUpTheParse) {
    Mp4Result r = ParseBytes(Cat({Ftyp(), SimpleMovie(0, 100)}));
    EXPECT_EQ(r.result, -1);
    EXPECT_FALSE(r.list);
}

TEST(Mp4ParserTest, CompressedMovieHeaderGivesTheSameRecords) {
    ExpectAvc720(ParseBytes(Cat({Ftyp(), Mdat(20), CompressedMoov(SimpleMovie())})));
}

TEST(Mp4ParserTest, CompressedMovieHeaderOfAnotherMethodGivesNothing) {
    Mp4Result r = ParseBytes(Cat({Ftyp(), CompressedMoov(SimpleMovie(), "none")}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

TEST(Mp4ParserTest, CompressedMovieHeaderWhoseSizesLieIsRefused) {
    const Bytes moov = SimpleMovie();
    for (int64_t declared : {int64_t(moov.size()) + 1, int64_t(moov.size()) - 1, int64_t(0), int64_t(0xFFFFFFF0)}) {
        Mp4Result r = ParseBytes(Cat({Ftyp(), CompressedMoov(moov, "zlib", declared)}));
        ASSERT_EQ(r.result, 1) << declared;
        EXPECT_EQ(r.list->count, 0u) << declared;
        EXPECT_EQ(r.list->durationSeconds, 0u) << declared;
    }
}

TEST(Mp4ParserTest, CompressedDataCutShortOrDamagedIsRefused) {
    Bytes file = Cat({Ftyp(), CompressedMoov(SimpleMovie())});
    Bytes damaged = file;
    damaged[damaged.size() - 10] ^= 0xFF;
    Mp4Result r = ParseBytes(damaged);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
    // The cmvd's size runs past its parents: nothing is read beyond them.
    Bytes cut(file.begin(), file.end() - 5);
    r = ParseBytes(cut);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

TEST(Mp4ParserTest, NoCompressedHeaderInsideAnInflatedOne) {
    Bytes nested = CompressedMoov(CompressedMoov(SimpleMovie()));
    Mp4Result r = ParseBytes(Cat({Ftyp(), nested}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

TEST(Mp4ParserTest, InflatedHeaderLargerThanTheCapIsRefused) {
    // A small cmvd that declares and inflates to more than ten times its size plus slack.
    Bytes moov = Atom("moov", Cat({Mvhd(600, 600), VideoTrak(1u << 16, 1u << 16, "avc1"),
                                   Atom("udta", Zeros(200000))}));
    Mp4Result r = ParseBytes(Cat({Ftyp(), CompressedMoov(moov)}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

TEST(Mp4ParserTest, AtomSmallerThanItsHeaderEndsTheWalk) {
    for (uint32_t size : {0u, 1u, 7u}) {
        Bytes moov = Atom("moov", Cat({Mvhd(600, 1200), VideoTrak(2u << 16, 2u << 16, "avc1"),
                                       AtomWithSize(size, "trak"), VideoTrak(4u << 16, 4u << 16, "hvc1")}));
        Mp4Result r = ParseBytes(Cat({Ftyp(), moov}));
        ASSERT_EQ(r.result, 1) << size;
        ASSERT_EQ(r.list->count, 1u) << size;
        EXPECT_STREQ(r.list->records[0]->name, "avc1");
        EXPECT_EQ(r.list->durationSeconds, 2u);
    }
    // At the top level too: a 64-bit-size mdat ends the walk instead of looping.
    Mp4Result r = ParseBytes(Cat({Ftyp(), AtomWithSize(1, "mdat", Zeros(8)), SimpleMovie()}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

TEST(Mp4ParserTest, NoChildIsReadBeyondItsParent) {
    // An empty trak followed by a sibling trak: the sibling is not taken as the first one's child.
    Bytes moov = Atom("moov", Cat({Mvhd(600, 600), Atom("trak"), VideoTrak(8u << 16, 6u << 16, "avc1")}));
    Mp4Result r = ParseBytes(Cat({Ftyp(), moov}));
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_STREQ(r.list->records[0]->name, "");
    EXPECT_STREQ(r.list->records[1]->name, "avc1");
    EXPECT_EQ(r.list->records[1]->width, 8);
    // A child that claims more than its parent holds ends the walk; what came before stays.
    Bytes liar = Atom("trak", AtomWithSize(500, "mdia", Zeros(16)));
    moov = Atom("moov", Cat({Mvhd(600, 600), VideoTrak(8u << 16, 6u << 16, "avc1"), liar}));
    r = ParseBytes(Cat({Ftyp(), moov}));
    ASSERT_EQ(r.list->count, 2u);
    EXPECT_STREQ(r.list->records[0]->name, "avc1");
    // A sample description entry count far above what the atom holds ends with the atom.
    Bytes stsd = Stsd({"avc1"});
    stsd[12] = 0xFF;  // entry count 0xFF000001
    Bytes trak = Atom("trak", Atom("mdia", Atom("minf", Atom("stbl", stsd))));
    r = ParseBytes(Cat({Ftyp(), Atom("moov", Cat({Mvhd(1, 1), trak}))}));
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_STREQ(r.list->records[0]->name, "avc1");
}

TEST(Mp4ParserTest, TruncatedMovieKeepsWhatWasRead) {
    const Bytes mvhd = Mvhd(600, 6000);
    const Bytes video = VideoTrak(2u << 16, 2u << 16, "avc1");
    Bytes file = Cat({Ftyp(), Atom("moov", Cat({mvhd, video, SoundTrak("mp4a")}))});
    const size_t movieStart = Ftyp().size() + 8;
    for (size_t cut = 0; cut < file.size(); ++cut) {
        Mp4Result r = ParseBytes(Bytes(file.begin(), file.begin() + long(cut)));
        ASSERT_EQ(r.result, 1) << cut;
        // What the cut movie holds whole is kept: the header, then the first track.
        const bool header = cut >= movieStart + mvhd.size();
        const bool firstTrack = cut >= movieStart + mvhd.size() + video.size();
        EXPECT_EQ(r.list->durationSeconds, header ? 10u : 0u) << cut;
        ASSERT_EQ(r.list->count, firstTrack ? 1u : 0u) << cut;
        if (firstTrack) {
            EXPECT_STREQ(r.list->records[0]->name, "avc1");
        }
        EXPECT_LE(r.bytesRead, cut) << cut;
    }
    // Other atoms that run past the end of the file end the walk.
    Bytes cutFtyp = Atom("ftyp", Zeros(16));
    cutFtyp.resize(12);
    Mp4Result r = ParseBytes(cutFtyp);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, 0u);
}

// Writes `head` (ftyp and a media block header), then the movie after a sparse media block of
// `mdatSize` bytes, and expects the walk to skip to the movie reading next to nothing.
void ExpectMovieAfterSparseMdat(const Bytes& head, uint64_t mdatSize) {
    ScratchDir dir;
    std::string path = dir.Write("big.mp4", head);
    Bytes moov = SimpleMovie();
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    off_t at = off_t(Ftyp().size() + mdatSize);
    bool written = ::pwrite(fd, moov.data(), moov.size(), at) == ssize_t(moov.size());
    ::close(fd);
    if (!written) GTEST_SKIP() << "no room for a sparse file of " << mdatSize << " bytes here";
    Mp4Result r = ParseFile(path);
    ExpectAvc720(r);
    EXPECT_LT(r.bytesRead, 4096u);
}

TEST(Mp4ParserTest, MdatLargerThanTwoGigabytesIsSkipped) {
    const uint64_t mdatSize = 0xC0000000ull;  // 3 GiB, past a signed 32-bit distance
    ExpectMovieAfterSparseMdat(Cat({Ftyp(), AtomWithSize(uint32_t(mdatSize), "mdat")}), mdatSize);
}

TEST(Mp4ParserTest, MdatWithA64BitSizeIsSkippedToTheMovie) {
    // Over 4 GiB the size field holds 1 and the true size follows the type.
    const uint64_t mdatSize = 0x140000000ull;  // 5 GiB
    Bytes head = Ftyp();
    Put32(head, 1);
    head.insert(head.end(), {'m', 'd', 'a', 't'});
    Put32(head, uint32_t(mdatSize >> 32));
    Put32(head, uint32_t(mdatSize));
    ExpectMovieAfterSparseMdat(head, mdatSize);
}

TEST(Mp4ParserTest, OddTopLevelSizesEndTheWalkOrRunToTheEnd) {
    // A 64-bit size too small for its own header ends the walk; size 0 runs to the end of file.
    Bytes tooSmall = Ftyp();
    Put32(tooSmall, 1);
    tooSmall.insert(tooSmall.end(), {'m', 'd', 'a', 't'});
    Put32(tooSmall, 0);
    Put32(tooSmall, 8);
    Mp4Result a = ParseBytes(Cat({tooSmall, SimpleMovie()}));
    ASSERT_EQ(a.result, 1);
    EXPECT_EQ(a.list->count, 0u);

    // Everything after a size-0 'mdat' belongs to it, a movie-like payload included.
    Bytes toEnd = Ftyp();
    Put32(toEnd, 0);
    toEnd.insert(toEnd.end(), {'m', 'd', 'a', 't'});
    Mp4Result b = ParseBytes(Cat({toEnd, SimpleMovie()}));
    ASSERT_EQ(b.result, 1);
    EXPECT_EQ(b.list->count, 0u);
}

TEST(Mp4ParserTest, HeadersTooShortForTheirFieldsAreSkipped) {
    // An mvhd without room for its time scale and duration, a tkhd without its size fields.
    Bytes trak = Atom("trak", Cat({Atom("tkhd", Zeros(4)), Atom("mdia", Atom("minf", Atom("stbl", Stsd({"avc1"}))))}));
    Mp4Result r = ParseBytes(Cat({Ftyp(), Atom("moov", Cat({Atom("mvhd", Zeros(12)), trak}))}));
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(r.list->count, 1u);
    EXPECT_EQ(r.list->durationSeconds, 0u);
    EXPECT_EQ(r.list->records[0]->width, 0);
    EXPECT_STREQ(r.list->records[0]->name, "avc1");
    // A dcom without its method, and a cmvd without its declared size or without data.
    for (const Bytes& cmov : {Atom("cmov", Cat({Atom("dcom"), Atom("cmvd", Zeros(64))})),
                              Atom("cmov", Cat({Atom("dcom", Text("zlib")), Atom("cmvd", Zeros(2))})),
                              Atom("cmov", Cat({Atom("dcom", Text("zlib")), Atom("cmvd", Zeros(4))}))}) {
        r = ParseBytes(Cat({Ftyp(), Atom("moov", cmov)}));
        ASSERT_EQ(r.result, 1);
        EXPECT_EQ(r.list->count, 0u);
    }
}

TEST(Mp4ParserTest, ParseNeedsAHandleAndAPlaceForTheList) {
    Mp4Parser parser;
    StreamList* list = nullptr;
    EXPECT_EQ(parser.Parse(kInvalidFileHandle, 10, &list), 0);
    ScratchDir dir;
    FileHandle file = OpenFileForReading(dir.Write("m.mp4", Cat({Ftyp(), SimpleMovie()})).c_str());
    EXPECT_EQ(parser.Parse(file, 10, nullptr), 0);
    CloseFile(file);
}

TEST(Mp4ParserTest, TracksBeyondTheLimitAreLeftOut) {
    Bytes traks;
    for (uint32_t i = 0; i < AtomWalker::kMaxTracks + 3; ++i) {
        Bytes t = Atom("trak");
        traks.insert(traks.end(), t.begin(), t.end());
    }
    Mp4Result r = ParseBytes(Cat({Ftyp(), Atom("moov", Cat({Mvhd(1, 1), traks}))}));
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.list->count, AtomWalker::kMaxTracks);
}

TEST(Mp4ParserTest, MemoryWalkerStaysInsideItsBlock) {
    Bytes moov = SimpleMovie();
    AtomWalker whole(moov.data(), uint32_t(moov.size()), 1);
    whole.WalkTopLevel();
    ASSERT_EQ(whole.tracks.size(), 1u);
    EXPECT_EQ(whole.duration, 100u);
    for (size_t cut = 0; cut < moov.size(); cut += 3) {
        AtomWalker part(moov.data(), uint32_t(cut), 1);
        part.WalkTopLevel();
        EXPECT_TRUE(part.tracks.empty()) << cut;
        uint8_t byte;
        EXPECT_FALSE(part.Skip(int64_t(cut) + 1));
        EXPECT_FALSE(part.Read(&byte, uint32_t(cut) + 1));
    }
}

// ---- ffmpeg fixtures ----------------------------------------------------------------------

struct Mp4Fixture {
    const char* file;
    uint32_t duration;
    int width;
    int height;
};

class Mp4FixtureTest : public ::testing::TestWithParam<Mp4Fixture> {};

TEST_P(Mp4FixtureTest, VideoAndSoundTracks) {
    const Mp4Fixture& f = GetParam();
    ParserRegistry registry;
    registry.AddDefaultParsers();
    StreamList* raw = nullptr;
    ASSERT_EQ(registry.ProbeAndParse(DataPath(f.file).c_str(), 10, &raw), 1);
    ListPtr list(raw);
    ASSERT_EQ(list->count, 2u);
    EXPECT_EQ(list->durationSeconds, f.duration);
    EXPECT_STREQ(list->records[0]->name, "avc1");
    EXPECT_EQ(list->records[0]->width, f.width);
    EXPECT_EQ(list->records[0]->height, f.height);
    EXPECT_STREQ(list->records[1]->name, "mp4a");
    EXPECT_EQ(list->records[1]->width, 0);
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(list->records[i]->index, int(i));
        EXPECT_EQ(list->records[i]->rate, 0);
        EXPECT_EQ(list->records[i]->majorType, GUID{});
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Mp4FixtureTest,
                         ::testing::Values(Mp4Fixture{"mp4-h264-aac.mp4", 2, 320, 240},
                                           Mp4Fixture{"mp4-faststart.mp4", 2, 320, 240},
                                           Mp4Fixture{"mov-h264-aac.mov", 3, 256, 144},
                                           Mp4Fixture{"mov-cmov.mov", 3, 256, 144}));

TEST(Mp4ParserTest, FixturesReadOnlyTheirHeaders) {
    for (const char* name : {"mp4-h264-aac.mp4", "mov-h264-aac.mov"}) {
        Mp4Result r = ParseFile(DataPath(name));
        EXPECT_LT(r.bytesRead, 4096u) << name;
    }
}

}  // namespace
