// The component's objects and OLE pieces from inside: BSTR layout, code page conversions, the
// path mapping of Open, and the media-file and stream objects' own rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "Bstr.h"
#include "BstrCodePage.h"
#include "Control.h"
#include "ControlPath.h"
#include "Guid.h"
#include "MediaFileInfo.h"
#include "StreamInfo.h"
#include "ts_mp4_builders.h"

using namespace clipsight;
using namespace csbuild;

namespace {

// Sets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvVar() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    std::string old_;
};

TEST(ObjectsGuidTest, TextFormAndIds) {
    char text[39];
    FormatGuid(CLSID_ClipsightControl, text);
    EXPECT_STREQ(text, "{3CC23BB2-A09E-41D4-B08D-145FB6678549}");
    GUID parsed{};
    ASSERT_TRUE(ParseGuid("{57D6DDBB-21B9-4175-8509-9DBE1DAAED6C}", &parsed));
    EXPECT_EQ(parsed, IID_IMediaFileInfo);
    ASSERT_TRUE(ParseGuid("3c692e6b-b520-4c67-a8a4-042f191ce613", &parsed));
    EXPECT_EQ(parsed, IID_IStreamInfo);
    for (const char* bad : {"", "{3CC23BB2-A09E-41D4-B08D-145FB667854}", "{3CC23BB2-A09E-41D4-B08D-145FB6678549",
                            "3CC23BB2A09E41D4B08D145FB6678549", "{3CC23BB2-A09E-41D4-B08D-145FB667854G}"})
        EXPECT_FALSE(ParseGuid(bad, &parsed)) << bad;
    EXPECT_TRUE(IsZeroGuid(GUID{}));
    EXPECT_FALSE(IsZeroGuid(IID_IUnknown));
    EXPECT_EQ(HresultFromSystemError(0), S_OK);
    EXPECT_EQ(uint32_t(HresultFromSystemError(1113)), 0x80070459u);
    EXPECT_EQ(uint32_t(HresultFromSystemError(0x12345)), 0x80072345u);
}

TEST(ObjectsCodePageTest, Windows1252ByDefault) {
    EnvVar acp("LUMIDOC_ACP", nullptr);
    EnvVar all("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(AnsiCodePageName(), "CP1252");
    std::string ansi;
    ASSERT_TRUE(WideToAnsi(u"Caf\u00e9 \u20ac \u4e2d", 8, &ansi));
    EXPECT_EQ(ansi, "Caf\xE9 \x80 ?");
    // A character outside the basic plane is one character, so one '?'.
    ASSERT_TRUE(WideToAnsi(u"a\U0001F600b", 4, &ansi));
    EXPECT_EQ(ansi, "a?b");
    std::u16string wide;
    ASSERT_TRUE(AnsiToWide("Caf\xE9 \x80", 6, &wide));
    EXPECT_EQ(wide, u"Caf\u00e9 \u20ac");
    // Bytes the code page leaves undefined keep their value.
    ASSERT_TRUE(AnsiToWide("\x81", 1, &wide));
    EXPECT_EQ(wide, u"\u0081");
    std::string utf8;
    ASSERT_TRUE(AnsiToUtf8("\xE9", 1, &utf8));
    EXPECT_EQ(utf8, "\xC3\xA9");
}

TEST(ObjectsCodePageTest, CodePageFromTheEnvironment) {
    {
        // The locale's language chooses, as for the programs; LUMIDOC_ACP overrides it.
        EnvVar none("LUMIDOC_ACP", nullptr);
        EnvVar greek("LC_ALL", "el_GR.UTF-8");
        EXPECT_EQ(AnsiCodePageName(), "CP1253");
        std::string ansi;
        ASSERT_TRUE(WideToAnsi(u"\u03a9", 1, &ansi));
        EXPECT_EQ(ansi, "\xD9");
        EnvVar acp("LUMIDOC_ACP", "1252");
        EXPECT_EQ(AnsiCodePageName(), "CP1252");
    }
    {
        EnvVar acp("LUMIDOC_ACP", "936");
        EXPECT_EQ(AnsiCodePageName(), "CP936");
        std::string ansi;
        ASSERT_TRUE(WideToAnsi(u"\u4e2d\u6587", 2, &ansi));
        EXPECT_EQ(ansi, "\xD6\xD0\xCE\xC4");
        std::u16string wide;
        ASSERT_TRUE(AnsiToWide(ansi.data(), ansi.size(), &wide));
        EXPECT_EQ(wide, u"\u4e2d\u6587");
    }
    {
        EnvVar acp("LUMIDOC_ACP", "65001");
        EXPECT_EQ(AnsiCodePageName(), "UTF-8");
    }
    EnvVar acp("LUMIDOC_ACP", "no-such-code-page");
    std::string ansi;
    EXPECT_FALSE(WideToAnsi(u"x", 1, &ansi));
    std::u16string wide;
    EXPECT_FALSE(AnsiToWide("x", 1, &wide));
}

TEST(ObjectsBstrTest, LayoutAndLimits) {
    BSTR s = BstrAllocStringLen(u"abc", 3);
    ASSERT_NE(s, nullptr);
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(s[3], u'\0');
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 8, 0u);
    EXPECT_EQ(BstrStringLen(s), 3u);
    BstrFreeString(s);
    BSTR empty = BstrAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(BstrStringLen(empty), 0u);
    BstrFreeString(empty);
    EXPECT_EQ(BstrAllocStringLen(nullptr, kBstrMaxLength + 1), nullptr);
}

TEST(ObjectsPathTest, DrivesAndHostPaths) {
    ScratchDir dir;
    dir.Write("Movie.MP4", {1});
    std::string out;
    ASSERT_TRUE(HostPathFromAnsiPath("/plain/host/path.ts", &out));
    EXPECT_EQ(out, "/plain/host/path.ts");
    std::string z = "Z:" + dir.path() + "/movie.mp4";
    for (char& c : z)
        if (c == '/') c = '\\';
    ASSERT_TRUE(HostPathFromAnsiPath(z.c_str(), &out));
    EXPECT_EQ(out, dir.path() + "/Movie.MP4");
    {
        EnvVar driveC("LUMIDOC_DRIVE_C", dir.path().c_str());
        ASSERT_TRUE(HostPathFromAnsiPath("c:\\movie.mp4", &out));
        EXPECT_EQ(out, dir.path() + "/Movie.MP4");
        ASSERT_TRUE(HostPathFromAnsiPath("C:\\missing\\x.ts", &out));
        EXPECT_EQ(out, dir.path() + "/missing/x.ts");
    }
    {
        EnvVar driveC("LUMIDOC_DRIVE_C", nullptr);
        EnvVar data("XDG_DATA_HOME", "/data/home");
        ASSERT_TRUE(HostPathFromAnsiPath("C:\\a.ts", &out));
        EXPECT_EQ(out, "/data/home/lumidoc/drive_c/a.ts");
    }
    EXPECT_FALSE(HostPathFromAnsiPath("E:\\movie.mp4", &out));
    EXPECT_FALSE(HostPathFromAnsiPath(nullptr, &out));
    // A drive path names a file up to 259 characters, as in the ANSI file calls; past that none.
    const std::string folder = z.substr(0, z.rfind('\\') + 1);
    const std::string name(259 - folder.size(), 'n');
    dir.Write(name, {1});
    ASSERT_TRUE(HostPathFromAnsiPath((folder + name).c_str(), &out));
    EXPECT_EQ(out, dir.path() + "/" + name);
    EXPECT_FALSE(HostPathFromAnsiPath((folder + name + "n").c_str(), &out));
    std::string deep = "Z:";
    for (int i = 0; i < 40000; ++i) deep += "\\a";
    EXPECT_FALSE(HostPathFromAnsiPath(deep.c_str(), &out));
    // An 8-bit name in the code page is spelled in UTF-8 on the host.
    EnvVar acp("LUMIDOC_ACP", "1252");
    ASSERT_TRUE(HostPathFromAnsiPath("/tmp/Caf\xE9.ts", &out));
    EXPECT_EQ(out, "/tmp/Caf\xC3\xA9.ts");
}

TEST(ObjectsStreamInfoTest, NewObjectAndNullName) {
    StreamInfo* s = StreamInfo::Create();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->refCount, 0);
    EXPECT_EQ(s->ops->GetIndex(s), -1);
    EXPECT_EQ(s->ops->GetRate(s), 0);
    EXPECT_EQ(s->ops->GetChannels(s), 0);
    EXPECT_EQ(s->ops->GetFormatTag(s), 0);
    GUID major{}, sub{};
    EXPECT_EQ(s->ops->GetTypes(s, &major, &sub), S_OK);
    EXPECT_TRUE(IsZeroGuid(major) && IsZeroGuid(sub));
    EXPECT_EQ(s->ops->GetTypes(s, nullptr, &sub), E_POINTER);
    EXPECT_EQ(s->ops->GetSize(s, nullptr), E_POINTER);
    BSTR name = reinterpret_cast<BSTR>(8);
    EXPECT_EQ(s->ops->GetName(s, &name), S_OK);
    EXPECT_EQ(name, nullptr);  // no name at all gives NULL
    EXPECT_EQ(s->ops->GetName(s, nullptr), E_POINTER);
    s->ops->AddRef(s);
    EXPECT_EQ(s->ops->Release(s), 0u);
}

TEST(ObjectsStreamInfoTest, NameComesFromTheAnsiCodePage) {
    EnvVar acp("LUMIDOC_ACP", "1252");
    StreamRecord record{};
    std::strcpy(record.name, "Caf\xE9");
    record.rate = 48000;
    record.channels = 6;
    record.formatTag = 0x33434145;
    StreamInfo* s = StreamInfo::Create();
    s->ops->AddRef(s);
    s->Fill(3, record);
    BSTR name = nullptr;
    ASSERT_EQ(s->ops->GetName(s, &name), S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::u16string(name, BstrStringLen(name)), u"Caf\u00e9");
    BstrFreeString(name);
    EXPECT_EQ(s->ops->GetIndex(s), 3);
    EXPECT_EQ(s->ops->GetRate(s), 48000);
    EXPECT_EQ(s->ops->GetChannels(s), 6);
    EXPECT_EQ(s->ops->GetFormatTag(s), 0x33434145);
    s->ops->Release(s);
}

TEST(ObjectsMediaFileInfoTest, WithoutAListAndOpenedOnce) {
    MediaFileInfo* info = MediaFileInfo::Create();
    ASSERT_NE(info, nullptr);
    info->ops->AddRef(info);
    EXPECT_EQ(info->enumIndex, -1);
    EXPECT_EQ(info->registry.Parsers().size(), 4u);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    EXPECT_EQ(info->ops->GetDuration(info), 0);
    StreamInfo* s = nullptr;
    EXPECT_EQ(info->ops->Next(info, &s), E_FAIL);
    EXPECT_EQ(info->ops->Reset(info), S_OK);
    // An unmappable path is a file that cannot be opened.
    EXPECT_EQ(info->Open("Q:\\nothing.ts", 44), -1);
    EXPECT_EQ(info->Open(nullptr, 44), -1);
    EXPECT_EQ(info->Open(DataPath("ts-h264-aac.ts").c_str(), 44), 1);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    // One probe per object.
    EXPECT_EQ(info->Open(DataPath("ts-eac3.ts").c_str(), 44), 0);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    EXPECT_EQ(info->ops->Release(info), 0u);
}

TEST(ObjectsControlTest, FailedPathConversionGivesTheSystemError) {
    void* out = nullptr;
    ASSERT_EQ(CreateControlComponent(&CLSID_ClipsightControl, &out), S_OK);
    auto* control = static_cast<CKRClipsightControl*>(out);
    EXPECT_EQ(control->refCount.load(), 1);
    EnvVar acp("LUMIDOC_ACP", "no-such-code-page");
    BSTR path = BstrAllocString(u"/tmp/x.ts");
    MediaFileInfo* info = nullptr;
    EXPECT_EQ(uint32_t(control->ops->Open(control, path, 44, &info)), 0x80070459u);
    EXPECT_EQ(info, nullptr);
    BstrFreeString(path);
    EXPECT_EQ(CreateControlComponent(nullptr, &out), E_POINTER);
    EXPECT_EQ(control->ops->QueryInterface(control, &IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(control->ops->Release(control), 0u);
}

// Hosts may ask from several threads at once; ThreadSanitizer sees any write the calls share.
TEST(ObjectsControlThreadsTest, GetClsidsFromTwoThreadsAtOnce) {
    auto ask = [] {
        for (int i = 0; i < 2000; ++i) {
            GUID ids[2] = {};
            if (GetControlClassIds(ids, 2) != 1 || !(ids[0] == CLSID_ClipsightControl)) return false;
        }
        return true;
    };
    std::future<bool> other = std::async(std::launch::async, ask);
    EXPECT_TRUE(ask());
    EXPECT_TRUE(other.get());
}

TEST(ObjectsControlTest, ClassIdTableCountsUpToTheFirstEmptyEntry) {
    GUID ids[300];
    std::memset(ids, 0xAB, sizeof ids);
    EXPECT_EQ(GetControlClassIds(ids, 300), 1);
    EXPECT_EQ(ids[0], CLSID_ClipsightControl);
    EXPECT_EQ(ids[1].Data1, 0xABABABABu);
}

}  // namespace
