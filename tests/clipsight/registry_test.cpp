// Parser registry, stream list and stream records.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "FileIo.h"
#include "MediaTypes.h"
#include "MkvParser.h"
#include "ParserRegistry.h"
#include "StreamDescription.h"
#include "StreamList.h"

using namespace clipsight;

namespace {

std::string RegistryData(const char* name) { return std::string(CLIPSIGHT_TEST_DATA) + "/" + name; }

class RegistryTempFile {
public:
    explicit RegistryTempFile(const std::string& text) {
        char name[] = "/tmp/clipsight_registry_XXXXXX";
        int fd = ::mkstemp(name);
        path = name;
        EXPECT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
        ::close(fd);
    }
    ~RegistryTempFile() { ::unlink(path.c_str()); }
    std::string path;
};

// A scripted parser: accepts one code, returns a set result (or throws), and records what it
// saw.
class ScriptedParser : public MediaParser {
public:
    ScriptedParser(int code, int result, bool throws = false, int* log = nullptr, int id = 0)
        : code_(code), result_(result), throws_(throws), log_(log), id_(id) {}
    ~ScriptedParser() override {
        if (destroyed_ != nullptr) ++*destroyed_;
    }
    int Accepts(int containerType) override { return containerType == code_; }
    int Parse(FileHandle file, int, StreamList** out) override {
        positionAtStart = TellFile(file);
        uint8_t b[3];
        ReadFile(file, b, 3);  // move the position for the next parser
        if (log_ != nullptr) *log_ = *log_ * 10 + id_;
        if (throws_) {
            *out = AllocateStreamList(1, kStreamRecordSize);  // left behind by the failure
            throw std::runtime_error("damaged");
        }
        if (result_ == kParseBuilt) *out = AllocateStreamList(1, kStreamRecordSize);
        return result_;
    }
    int64_t positionAtStart = -1;
    int* destroyed_ = nullptr;

private:
    int code_, result_;
    bool throws_;
    int* log_;
    int id_;
};

TEST(RegistryTest, FirstAcceptingParserWithAResultDecides) {
    RegistryTempFile file("abcdef");
    int log = 0;
    ParserRegistry registry;
    auto* declines = new ScriptedParser(5, kParseDeclined, false, &log, 1);
    auto* otherCode = new ScriptedParser(6, kParseBuilt, false, &log, 2);
    auto* builds = new ScriptedParser(5, kParseBuilt, false, &log, 3);
    auto* never = new ScriptedParser(5, kParseBuilt, false, &log, 4);
    registry.AddParser(declines);
    registry.AddParser(otherCode);
    registry.AddParser(builds);
    registry.AddParser(never);
    registry.AddParser(nullptr);
    EXPECT_EQ(registry.Parsers().size(), 4u);
    StreamList* list = nullptr;
    EXPECT_EQ(registry.ProbeAndParse(file.path.c_str(), 5, &list), kParseBuilt);
    EXPECT_EQ(log, 13);
    // Every parser starts at offset 0, whatever the one before it read.
    EXPECT_EQ(declines->positionAtStart, 0);
    EXPECT_EQ(builds->positionAtStart, 0);
    ASSERT_NE(list, nullptr);
    FreeStreamList(list);
}

TEST(RegistryTest, ResultZeroStopsTheProbe) {
    RegistryTempFile file("abc");
    int log = 0;
    ParserRegistry registry;
    registry.AddParser(new ScriptedParser(5, kParseNoList, false, &log, 1));
    registry.AddParser(new ScriptedParser(5, kParseBuilt, false, &log, 2));
    StreamList* list = nullptr;
    EXPECT_EQ(registry.ProbeAndParse(file.path.c_str(), 5, &list), kParseNoList);
    EXPECT_EQ(log, 1);
    EXPECT_EQ(list, nullptr);
}

TEST(RegistryTest, FailingParserIsSkippedAndItsListDropped) {
    RegistryTempFile file("abc");
    int log = 0;
    ParserRegistry registry;
    registry.AddParser(new ScriptedParser(5, kParseBuilt, true, &log, 1));
    registry.AddParser(new ScriptedParser(5, kParseNoList, false, &log, 2));
    StreamList* list = nullptr;
    EXPECT_EQ(registry.ProbeAndParse(file.path.c_str(), 5, &list), kParseNoList);
    EXPECT_EQ(log, 12);
    EXPECT_EQ(list, nullptr);

    ParserRegistry alone;
    alone.AddParser(new ScriptedParser(5, kParseBuilt, true));
    EXPECT_EQ(alone.ProbeAndParse(file.path.c_str(), 5, &list), kParseDeclined);
    EXPECT_EQ(list, nullptr);
}

TEST(RegistryTest, UnopenableFileOrUnacceptedCodeGivesMinusOne) {
    RegistryTempFile file("abc");
    int log = 0;
    ParserRegistry registry;
    registry.AddParser(new ScriptedParser(5, kParseBuilt, false, &log, 1));
    StreamList* list = nullptr;
    EXPECT_EQ(registry.ProbeAndParse("/nonexistent/file.mkv", 5, &list), kParseDeclined);
    EXPECT_EQ(registry.ProbeAndParse(nullptr, 5, &list), kParseDeclined);
    EXPECT_EQ(registry.ProbeAndParse(file.path.c_str(), 99, &list), kParseDeclined);
    EXPECT_EQ(log, 0);
    EXPECT_EQ(list, nullptr);
    ParserRegistry empty;
    EXPECT_EQ(empty.ProbeAndParse(file.path.c_str(), 5, &list), kParseDeclined);
}

TEST(RegistryTest, DeleteParsersDestroysEachOnce) {
    int destroyed = 0;
    {
        ParserRegistry registry;
        for (int i = 0; i < 3; ++i) {
            auto* p = new ScriptedParser(5, kParseBuilt);
            p->destroyed_ = &destroyed;
            registry.AddParser(p);
        }
        registry.DeleteParsers();
        EXPECT_EQ(destroyed, 3);
        EXPECT_TRUE(registry.Parsers().empty());
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(RegistryTest, DefaultParsersPutMatroskaFirstAndANullParser) {
    ParserRegistry registry;
    registry.AddDefaultParsers();
    ASSERT_GE(registry.Parsers().size(), 2u);
    EXPECT_NE(dynamic_cast<MkvParser*>(registry.Parsers()[0]), nullptr);
    int nullParsers = 0;
    for (MediaParser* p : registry.Parsers()) {
        if (typeid(*p) == typeid(NullParser)) ++nullParsers;
    }
    EXPECT_EQ(nullParsers, 1);
}

TEST(RegistryTest, DefaultParsersOnRealFiles) {
    ParserRegistry registry;
    registry.AddDefaultParsers();
    StreamList* list = nullptr;
    // Code 17 with a file that is not Matroska: only the Matroska parser runs, and it builds
    // nothing.
    const std::string ts = RegistryData("ts-h264-aac.ts");
    EXPECT_EQ(registry.ProbeAndParse(ts.c_str(), 17, &list), kParseNoList);
    EXPECT_EQ(list, nullptr);
    // A code nobody accepts.
    const std::string mkv = RegistryData("mkv-h264-aac.mkv");
    EXPECT_EQ(registry.ProbeAndParse(mkv.c_str(), 99, &list), kParseDeclined);
    EXPECT_EQ(registry.ProbeAndParse(mkv.c_str(), 17, &list), kParseBuilt);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 2u);
    FreeStreamList(list);
}

TEST(RegistryNullParserTest, AcceptsNothingAndDeclines) {
    NullParser parser;
    for (int code : {0, 10, 17, 44, -1}) EXPECT_EQ(parser.Accepts(code), 0);
    StreamList* list = nullptr;
    EXPECT_EQ(parser.Parse(kInvalidFileHandle, 17, &list), kParseDeclined);
}

TEST(RegistryStreamListTest, BlockSizesAndZeroedRecords) {
    // Native sizes: a 16-byte header and 8-byte pointers, room for at least two.
    StreamList* two = AllocateStreamList(2, kStreamRecordSize);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->totalBytes, 16u + 2 * 8);
    EXPECT_EQ(two->count, 2u);
    EXPECT_EQ(two->durationSeconds, 0u);
    FreeStreamList(two);

    StreamList* five = AllocateStreamList(5, kStreamRecordSize);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->totalBytes, 16u + 5 * 8);
    for (uint32_t i = 0; i < five->count; ++i) {
        const StreamRecord& r = *five->records[i];
        EXPECT_EQ(r.size, 96u);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
        for (size_t b = 4; b < sizeof r; ++b) ASSERT_EQ(bytes[b], 0) << "byte " << b;
    }
    FreeStreamList(five);

    StreamList* none = AllocateStreamList(0, kStreamRecordSize);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->count, 0u);
    EXPECT_EQ(none->totalBytes, 32u);
    FreeStreamList(none);
    FreeStreamList(nullptr);
}

TEST(RegistryStreamListTest, RefusesImpossibleRequests) {
    EXPECT_EQ(AllocateStreamList(-1, kStreamRecordSize), nullptr);
    EXPECT_EQ(AllocateStreamList(kMaxStreamRecords + 1, kStreamRecordSize), nullptr);
    EXPECT_EQ(AllocateStreamList(1, 40), nullptr);  // too small for a record
    StreamList* big = AllocateStreamList(1, 200);   // larger records are fine
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->records[0]->size, 200u);
    FreeStreamList(big);
}

TEST(RegistryStreamListTest, RecordNameIsCutTo31Characters) {
    StreamRecord r{};
    const char* forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    SetRecordName(r, forty);
    EXPECT_EQ(std::string(r.name), std::string(forty, 31));
    EXPECT_EQ(r.name[31], '\0');
    SetRecordName(r, "");
    EXPECT_EQ(r.name[0], '\0');
    SetRecordName(r, nullptr);
    EXPECT_EQ(r.name[0], '\0');
}

TEST(RegistryFourccTest, FourCharacterNamesAreUpperCased) {
    const GUID avc1 = FourccToSubtype("avc1");
    EXPECT_EQ(avc1.Data1, 0x31435641u);
    EXPECT_EQ(avc1, (GUID{0x31435641, 0, 0x10, {0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}}));
    EXPECT_EQ(FourccToSubtype("wvc1").Data1, 0x31435657u);
    EXPECT_EQ(FourccToSubtype("XviD").Data1, 0x44495658u);
    EXPECT_EQ(FourccToSubtype("ab1!").Data1, 0x21314241u);
}

TEST(RegistryFourccTest, OtherLengthsGiveTheUnknownSubtype) {
    const GUID unknown = {0xE436EB8E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    EXPECT_EQ(FourccToSubtype("avc"), unknown);
    EXPECT_EQ(FourccToSubtype("avc1x"), unknown);
    EXPECT_EQ(FourccToSubtype(""), unknown);
    EXPECT_EQ(FourccToSubtype(nullptr), unknown);
}

TEST(RegistryDescriptionTest, NewIsZeroAndCopiesAreWhole) {
    StreamDescription d;
    const auto* raw = reinterpret_cast<const uint8_t*>(&d.video);
    for (size_t i = 0; i < sizeof d.video; ++i) ASSERT_EQ(raw[i], 0);
    EXPECT_EQ(d.trackNumber, 0);
    EXPECT_EQ(d.codecId[0], '\0');
    d.trackNumber = 3;
    std::memset(d.codecId, 'x', sizeof d.codecId);  // unterminated on purpose
    d.video.pixelWidth = 640;
    d.video.interlaced = 1;
    StreamDescription copy = d;
    EXPECT_EQ(copy.trackNumber, 3);
    EXPECT_EQ(std::memcmp(copy.codecId, d.codecId, sizeof d.codecId), 0);
    EXPECT_EQ(copy.video.pixelWidth, 640u);
    EXPECT_EQ(copy.video.interlaced, 1u);

    // The record takes 31 characters even from an unterminated codec text.
    StreamRecord r{};
    StartRecordFromDescription(r, copy);
    EXPECT_EQ(r.index, 2);
    EXPECT_EQ(r.rate, -1);
    EXPECT_EQ(std::string(r.name), std::string(31, 'x'));
}

}  // namespace

#include "Mp4Parser.h"
#include "TsParser.h"

namespace {

TEST(RegistryTest, DefaultParserOrder) {
    ParserRegistry registry;
    registry.AddDefaultParsers();
    const auto& p = registry.Parsers();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(typeid(*p[0]), typeid(MkvParser));
    EXPECT_EQ(typeid(*p[1]), typeid(TsParser));
    EXPECT_EQ(typeid(*p[2]), typeid(NullParser));
    EXPECT_EQ(typeid(*p[3]), typeid(Mp4Parser));
}

}  // namespace
