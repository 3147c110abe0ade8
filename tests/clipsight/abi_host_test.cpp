// The library as a host uses it: loaded with dlopen, driven only through its exports, the BSTR
// functions and the operation tables of ClipsightHost.h.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "ClipsightHost.h"
#include "PipeWatchdog.h"
#include "ts_mp4_builders.h"

using namespace csbuild;

// Found by argument lookup, so it must live beside CsGuid.
static bool operator==(const CsGuid& a, const CsGuid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

namespace {

const CsGuid kZeroGuid{};

// FOURCC media GUID {XXXXXXXX-0000-0010-8000-00AA00389B71}.
CsGuid Fourcc(uint32_t data1) { return CsGuid{data1, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}; }
const CsGuid kVideo = Fourcc(0x73646976);
const CsGuid kAudio = Fourcc(0x73647561);
const CsGuid kAvc1 = Fourcc(0x31435641);
const CsGuid kAac = Fourcc(0x000000FF);
const CsGuid kMpeg2Video = {0xE06D8026, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
const CsGuid kMpeg1Audio = {0xE436EB87, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const CsGuid kAc3 = {0xE06D802C, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
const CsGuid kDts = {0xE06D8033, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};

struct Library {
    void* handle = nullptr;
    CsCreateSTComponentFn CreateSTComponent = nullptr;
    CsGetCLSIDsFn GetCLSIDs = nullptr;
    CsSysAllocStringFn SysAllocString = nullptr;
    CsSysAllocStringLenFn SysAllocStringLen = nullptr;
    CsSysStringLenFn SysStringLen = nullptr;
    CsSysFreeStringFn SysFreeString = nullptr;

    Library() {
        handle = dlopen(CLIPSIGHT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        CreateSTComponent = reinterpret_cast<CsCreateSTComponentFn>(dlsym(handle, "CreateSTComponent"));
        GetCLSIDs = reinterpret_cast<CsGetCLSIDsFn>(dlsym(handle, "GetCLSIDs"));
        SysAllocString = reinterpret_cast<CsSysAllocStringFn>(dlsym(handle, "SysAllocString"));
        SysAllocStringLen = reinterpret_cast<CsSysAllocStringLenFn>(dlsym(handle, "SysAllocStringLen"));
        SysStringLen = reinterpret_cast<CsSysStringLenFn>(dlsym(handle, "SysStringLen"));
        SysFreeString = reinterpret_cast<CsSysFreeStringFn>(dlsym(handle, "SysFreeString"));
    }
    bool ok() const {
        return CreateSTComponent && GetCLSIDs && SysAllocString && SysAllocStringLen && SysStringLen && SysFreeString;
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = uint8_t(utf8[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
        for (int k = 1; k <= extra && i + size_t(k) < utf8.size(); ++k) c = (c << 6) | (uint8_t(utf8[i + size_t(k)]) & 0x3F);
        i += size_t(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 | (c >> 10)));
            out.push_back(char16_t(0xDC00 | (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
    }
    return out;
}

std::string Narrow(const char16_t* s, unsigned n) {
    std::string out;
    for (unsigned i = 0; i < n; ++i) out.push_back(s[i] < 0x80 ? char(s[i]) : '?');
    return out;
}

// Bytes this process has read through read() and friends.
uint64_t ReadCharCount() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

class AbiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Lib().ok()) << dlerror();
        void* out = nullptr;
        ASSERT_EQ(Lib().CreateSTComponent(&CS_CLSID_CONTROL, &out), CS_S_OK);
        control = static_cast<CsControl*>(out);
    }
    void TearDown() override {
        if (control) {
            EXPECT_EQ(control->ops->Release(control), 0u);
        }
    }

    // Opens a path given as UTF-8 text; the result and the object (or NULL).
    CsHresult Open(const std::string& path, int type, CsMediaFileInfo** out) {
        std::u16string wide = Utf16(path);
        CsBstr bstr = Lib().SysAllocStringLen(wide.data(), unsigned(wide.size()));
        CsHresult hr = control->ops->Open(control, bstr, type, out);
        Lib().SysFreeString(bstr);
        return hr;
    }
    CsMediaFileInfo* OpenOk(const std::string& path, int type) {
        CsMediaFileInfo* info = nullptr;
        EXPECT_EQ(Open(path, type, &info), CS_S_OK) << path;
        EXPECT_NE(info, nullptr);
        return info;
    }
    static std::string Name(CsStreamInfo* s) {
        CsBstr name = reinterpret_cast<CsBstr>(1);
        EXPECT_EQ(s->ops->GetName(s, &name), CS_S_OK);
        if (name == nullptr) return "<null>";
        std::string text = Narrow(name, Lib().SysStringLen(name));
        Lib().SysFreeString(name);
        return text;
    }

    CsControl* control = nullptr;
};

// ---- exports ------------------------------------------------------------------------------

TEST(AbiExportsTest, OnlyTheSixFunctionsAreExported) {
    std::string cmd = std::string("nm -D --defined-only '") + CLIPSIGHT_LIBRARY + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3) names.insert(name);
    }
    int status = pclose(p);
    if (names.empty() && status != 0) GTEST_SKIP() << "nm is not available";
    std::set<std::string> expected = {"CreateSTComponent", "GetCLSIDs",    "SysAllocString",
                                      "SysAllocStringLen", "SysStringLen", "SysFreeString"};
    EXPECT_EQ(names, expected);
}

TEST(AbiExportsTest, CreateSTComponentKnowsOnlyTheControlClass) {
    ASSERT_TRUE(Lib().ok());
    void* out = reinterpret_cast<void*>(0x1234);
    CsGuid other = CS_CLSID_CONTROL;
    other.Data4[7] ^= 1;
    EXPECT_EQ(Lib().CreateSTComponent(&other, &out), CS_E_NOINTERFACE);
    EXPECT_EQ(Lib().CreateSTComponent(&CS_IID_CONTROL_A, &out), CS_E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1234));
    ASSERT_EQ(Lib().CreateSTComponent(&CS_CLSID_CONTROL, &out), CS_S_OK);
    auto* control = static_cast<CsControl*>(out);
    EXPECT_EQ(control->ops->AddRef(control), 2u);  // created with one reference
    EXPECT_EQ(control->ops->Release(control), 1u);
    EXPECT_EQ(control->ops->Release(control), 0u);
}

TEST(AbiExportsTest, GetClsidsCountsAndCopies) {
    ASSERT_TRUE(Lib().ok());
    EXPECT_EQ(Lib().GetCLSIDs(nullptr, 0), 1);
    CsGuid ids[5];
    std::memset(ids, 0xEE, sizeof ids);
    EXPECT_EQ(Lib().GetCLSIDs(ids, 0), 0);
    EXPECT_EQ(ids[0].Data1, 0xEEEEEEEEu);
    EXPECT_EQ(Lib().GetCLSIDs(ids, 5), 1);
    EXPECT_EQ(ids[0], CS_CLSID_CONTROL);
    EXPECT_EQ(ids[1].Data1, 0xEEEEEEEEu);
    EXPECT_EQ(Lib().GetCLSIDs(ids, 1), 1);
}

TEST(AbiExportsTest, BstrLayoutAndFunctions) {
    ASSERT_TRUE(Lib().ok());
    const char16_t text[] = u"Clip\u00e9";
    CsBstr s = Lib().SysAllocString(text);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Lib().SysStringLen(s), 5u);
    uint32_t byteLength;
    std::memcpy(&byteLength, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(byteLength, 10u);
    EXPECT_EQ(s[5], u'\0');
    EXPECT_EQ(std::u16string(s, 5), u"Clip\u00e9");
    Lib().SysFreeString(s);

    CsBstr blank = Lib().SysAllocStringLen(nullptr, 3);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(Lib().SysStringLen(blank), 3u);
    EXPECT_EQ(blank[3], u'\0');
    Lib().SysFreeString(blank);
    CsBstr part = Lib().SysAllocStringLen(u"abcdef", 2);
    EXPECT_EQ(std::u16string(part, Lib().SysStringLen(part)), u"ab");
    Lib().SysFreeString(part);
    EXPECT_EQ(Lib().SysAllocString(nullptr), nullptr);
    EXPECT_EQ(Lib().SysStringLen(nullptr), 0u);
    Lib().SysFreeString(nullptr);
    EXPECT_EQ(Lib().SysAllocStringLen(u"x", 0x80000000u), nullptr);
}

// ---- control object -----------------------------------------------------------------------

TEST_F(AbiTest, ControlAnswersItsThreeInterfaceIds) {
    for (const CsGuid* iid : {&CS_IID_IUNKNOWN, &CS_IID_CONTROL_A, &CS_IID_CONTROL_B}) {
        void* out = nullptr;
        ASSERT_EQ(control->ops->QueryInterface(control, iid, &out), CS_S_OK);
        EXPECT_EQ(out, control);
    }
    EXPECT_EQ(control->ops->AddRef(control), 5u);  // 1 + three queries + this one
    for (int i = 0; i < 4; ++i) control->ops->Release(control);
    void* out = reinterpret_cast<void*>(0x99);
    EXPECT_EQ(control->ops->QueryInterface(control, &CS_IID_MEDIA_FILE_INFO, &out), CS_E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x99));
}

TEST_F(AbiTest, ControlOptionNameAndClassId) {
    EXPECT_EQ(control->ops->GetOption(control), 0);
    EXPECT_EQ(control->ops->SetOption(control, 7), CS_S_OK);
    EXPECT_EQ(control->ops->GetOption(control), 7);
    EXPECT_EQ(control->ops->ReservedA(control, 42), CS_S_OK);
    EXPECT_EQ(control->ops->ReservedB(control), CS_S_OK);
    const char* name = control->ops->GetName(control);
    EXPECT_STREQ(name, "CKRClipsightControl");
    EXPECT_EQ(control->ops->GetName(control), name);
    CsGuid id{};
    EXPECT_EQ(control->ops->GetClassId(control, &id), CS_S_OK);
    EXPECT_EQ(id, CS_CLSID_CONTROL);
    EXPECT_EQ(control->ops->GetClassId(control, nullptr), CS_E_POINTER);
}

TEST_F(AbiTest, OpenResults) {
    CsMediaFileInfo* info = reinterpret_cast<CsMediaFileInfo*>(0x77);
    // The Matroska parser runs on an MP4 and builds no list.
    EXPECT_EQ(Open(DataPath("mp4-h264-aac.mp4"), 17, &info), CS_E_FAIL);
    EXPECT_EQ(info, reinterpret_cast<CsMediaFileInfo*>(0x77));
    // A transport stream code on an MP4: the parser runs and builds nothing.
    EXPECT_EQ(Open(DataPath("mp4-h264-aac.mp4"), 44, &info), CS_E_FAIL);

    info = OpenOk(DataPath("mp4-h264-aac.mp4"), 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    EXPECT_EQ(info->ops->GetDuration(info), 2);
    EXPECT_EQ(info->ops->Release(info), 0u);

    info = OpenOk(DataPath("mkv-for-mp4-code.mkv"), 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    CsStreamInfo* s = nullptr;
    EXPECT_EQ(info->ops->Next(info, &s), CS_S_OK);  // a list with no streams
    EXPECT_EQ(s, nullptr);
    info->ops->Release(info);

    for (auto [path, type] : {std::pair<std::string, int>{DataPath("mp4-h264-aac.mp4"), 99},
                              {DataPath("no-such-file.mp4"), 10},
                              {DataPath(""), 10}}) {
        info = OpenOk(path, type);
        EXPECT_EQ(info->ops->GetStreamCount(info), 0);
        EXPECT_EQ(info->ops->GetDuration(info), 0);
        s = nullptr;
        EXPECT_EQ(info->ops->Next(info, &s), CS_E_FAIL);
        EXPECT_EQ(info->ops->Reset(info), CS_S_OK);
        EXPECT_EQ(info->ops->Next(info, &s), CS_E_FAIL);
        info->ops->Release(info);
    }
    // A NULL path is no error: an object without a list.
    info = nullptr;
    EXPECT_EQ(control->ops->Open(control, nullptr, 10, &info), CS_S_OK);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    info->ops->Release(info);
    // No place for the result.
    CsBstr path = Lib().SysAllocString(Utf16(DataPath("mp4-h264-aac.mp4")).c_str());
    EXPECT_EQ(control->ops->Open(control, path, 10, nullptr), CS_E_FAIL);
    Lib().SysFreeString(path);
}

TEST_F(AbiTest, ZeroTimeScaleGivesAnObjectWithoutList) {
    ScratchDir dir;
    Bytes moov = Atom("moov", Cat({Mvhd(0, 10), VideoTrak(1u << 16, 1u << 16, "avc1")}));
    CsMediaFileInfo* info = OpenOk(dir.Write("zero.mov", Cat({Ftyp(), moov})), 11);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    CsStreamInfo* s = nullptr;
    EXPECT_EQ(info->ops->Next(info, &s), CS_E_FAIL);
    info->ops->Release(info);
}

TEST_F(AbiTest, WindowsPathsAndTheAnsiCodePage) {
    ScratchDir dir;
    Bytes mp4 = ReadAll(DataPath("mp4-h264-aac.mp4"));
    const std::string plain = dir.Write("Clip.mp4", mp4);
    // Z: is the host root; components are matched without regard to case.
    std::string windows = "Z:" + plain;
    for (char& c : windows)
        if (c == '/') c = '\\';
    CsMediaFileInfo* info = OpenOk(windows, 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    info->ops->Release(info);
    std::string upper = windows.substr(0, windows.size() - 8) + "CLIP.MP4";
    info = OpenOk(upper, 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    info->ops->Release(info);
    // C: is $LUMIDOC_DRIVE_C.
    const char* previous = std::getenv("LUMIDOC_DRIVE_C");
    std::string saved = previous ? previous : "";
    setenv("LUMIDOC_DRIVE_C", dir.path().c_str(), 1);
    info = OpenOk("c:\\clip.mp4", 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    info->ops->Release(info);
    // Other drives do not exist.
    info = OpenOk("D:\\Clip.mp4", 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    info->ops->Release(info);
    if (previous) setenv("LUMIDOC_DRIVE_C", saved.c_str(), 1);
    else unsetenv("LUMIDOC_DRIVE_C");

    // A name code page 1252 carries, and one it cannot (its characters become '?').
    setenv("LUMIDOC_ACP", "1252", 1);
    const std::string accented = dir.Write("Caf\xC3\xA9.mp4", mp4);
    info = OpenOk(accented, 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    info->ops->Release(info);
    const std::string chinese = dir.Write("\xE4\xB8\xAD\xE6\x96\x87.mp4", mp4);
    // The lossy name is never opened, not even when a file of its ANSI spelling is there.
    dir.Write("??.mp4", mp4);
    info = OpenOk(chinese, 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    info->ops->Release(info);
    setenv("LUMIDOC_ACP", "936", 1);
    info = OpenOk(chinese, 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 2);
    info->ops->Release(info);
    // Code page 932 carries the minus sign one way only: it comes back as a fullwidth hyphen.
    setenv("LUMIDOC_ACP", "932", 1);
    dir.Write("a\xEF\xBC\x8D" "b.mp4", mp4);
    info = OpenOk(dir.path() + "/a\xE2\x88\x92" "b.mp4", 10);
    EXPECT_EQ(info->ops->GetStreamCount(info), 0);
    info->ops->Release(info);
    unsetenv("LUMIDOC_ACP");
}

TEST_F(AbiTest, APipeIsAFileThatCannotBeOpenedAtOnce) {
    ScratchDir dir;
    const std::string fifo = dir.path() + "/movie.mkv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = dir.path() + "/link.mp4";
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    std::string drive = "Z:" + fifo;
    for (char& c : drive)
        if (c == '/') c = '\\';
    for (const std::string& path : {fifo, link, drive}) {
        for (int type : {10, 17, 44, 99}) {
            SCOPED_TRACE(path + " as " + std::to_string(type));
            CsMediaFileInfo* info = nullptr;
            CsHresult hr = CS_E_FAIL;
            EXPECT_TRUE(testing_support::callNeverWaitsOnPipe(fifo, [&] { hr = Open(path, type, &info); }));
            EXPECT_EQ(hr, CS_S_OK);
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(info->ops->GetStreamCount(info), 0);
            info->ops->Release(info);
        }
    }
}

// ---- media-file and stream objects --------------------------------------------------------

TEST_F(AbiTest, EnumerationRule) {
    CsMediaFileInfo* info = OpenOk(DataPath("mp4-h264-aac.mp4"), 10);
    ASSERT_EQ(info->ops->GetStreamCount(info), 2);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 2; ++i) {
            CsStreamInfo* s = nullptr;
            ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->ops->GetIndex(s), i);
            EXPECT_EQ(s->ops->Release(s), 0u);
        }
        CsStreamInfo* s = nullptr;
        EXPECT_EQ(info->ops->Next(info, &s), CS_S_OK);  // one past the end: nothing written
        EXPECT_EQ(s, nullptr);
        EXPECT_EQ(info->ops->Next(info, &s), CS_E_FAIL);
        EXPECT_EQ(info->ops->Next(info, &s), CS_E_FAIL);
        EXPECT_EQ(info->ops->Reset(info), CS_S_OK);
    }
    // Next(NULL) fails but uses up a position.
    EXPECT_EQ(info->ops->Next(info, nullptr), CS_E_FAIL);
    CsStreamInfo* s = nullptr;
    ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
    EXPECT_EQ(s->ops->GetIndex(s), 1);
    s->ops->Release(s);
    info->ops->Release(info);
}

TEST_F(AbiTest, ObjectInterfacesAndReferences) {
    CsMediaFileInfo* info = OpenOk(DataPath("mov-h264-aac.mov"), 12);
    void* out = reinterpret_cast<void*>(0x5);
    EXPECT_EQ(info->ops->QueryInterface(info, &CS_IID_MEDIA_FILE_INFO, &out), CS_S_OK);
    EXPECT_EQ(out, info);
    EXPECT_EQ(info->ops->QueryInterface(info, &CS_IID_IUNKNOWN, &out), CS_S_OK);
    EXPECT_EQ(out, info);
    EXPECT_EQ(info->ops->QueryInterface(info, &CS_IID_STREAM_INFO, &out), CS_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(info->ops->QueryInterface(info, &CS_IID_IUNKNOWN, nullptr), CS_E_POINTER);
    EXPECT_EQ(info->ops->AddRef(info), 4u);
    EXPECT_EQ(info->ops->Release(info), 3u);
    info->ops->Release(info);
    info->ops->Release(info);

    CsStreamInfo* s = nullptr;
    ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
    out = reinterpret_cast<void*>(0x5);
    EXPECT_EQ(s->ops->QueryInterface(s, &CS_IID_MEDIA_FILE_INFO, &out), CS_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(s->ops->QueryInterface(s, &CS_IID_STREAM_INFO, &out), CS_S_OK);
    EXPECT_EQ(out, s);
    EXPECT_EQ(s->ops->Release(s), 1u);
    int32_t size[3] = {-5, -5, -5};
    EXPECT_EQ(s->ops->GetSize(s, size), CS_S_OK);
    EXPECT_EQ(size[0], 256);
    EXPECT_EQ(size[1], 144);
    EXPECT_EQ(size[2], -5);
    EXPECT_EQ(s->ops->Release(s), 0u);
    EXPECT_EQ(info->ops->Release(info), 0u);
}

TEST_F(AbiTest, EmptyCodecNameIsAnEmptyStringNotNull) {
    ScratchDir dir;
    Bytes moov = Atom("moov", Cat({Mvhd(10, 30), Atom("trak", Tkhd(64u << 16, 48u << 16))}));
    CsMediaFileInfo* info = OpenOk(dir.Write("nameless.mp4", Cat({Ftyp(), moov})), 31);
    CsStreamInfo* s = nullptr;
    ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
    CsBstr name = nullptr;
    EXPECT_EQ(s->ops->GetName(s, &name), CS_S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(Lib().SysStringLen(name), 0u);
    EXPECT_EQ(name[0], u'\0');
    Lib().SysFreeString(name);
    s->ops->Release(s);
    info->ops->Release(info);
}

// ---- every fixture through the ABI --------------------------------------------------------

struct AbiStream {
    const char* name;
    CsGuid major;
    CsGuid subtype;
    uint32_t formatTag;
    int rate;
    int width;
    int height;
    int channels;
};
struct AbiFixture {
    const char* file;
    int type;
    int duration;
    std::vector<AbiStream> streams;
};

void PrintTo(const AbiFixture& f, std::ostream* os) { *os << f.file; }

class AbiFixtureTest : public AbiTest, public ::testing::WithParamInterface<AbiFixture> {};

TEST_P(AbiFixtureTest, EveryStreamAsTheHostSeesIt) {
    const AbiFixture& f = GetParam();
    CsMediaFileInfo* info = OpenOk(DataPath(f.file), f.type);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->ops->GetDuration(info), f.duration);
    ASSERT_EQ(info->ops->GetStreamCount(info), int(f.streams.size()));
    for (size_t i = 0; i < f.streams.size(); ++i) {
        const AbiStream& want = f.streams[i];
        CsStreamInfo* s = nullptr;
        ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->ops->GetIndex(s), int(i));
        EXPECT_EQ(Name(s), want.name) << i;
        CsGuid major, subtype;
        EXPECT_EQ(s->ops->GetTypes(s, &major, &subtype), CS_S_OK);
        EXPECT_TRUE(major == want.major) << i;
        EXPECT_TRUE(subtype == want.subtype) << i;
        EXPECT_EQ(uint32_t(s->ops->GetFormatTag(s)), want.formatTag) << i;
        EXPECT_EQ(s->ops->GetRate(s), want.rate) << i;
        int32_t size[2];
        s->ops->GetSize(s, size);
        EXPECT_EQ(size[0], want.width) << i;
        EXPECT_EQ(size[1], want.height) << i;
        EXPECT_EQ(s->ops->GetChannels(s), want.channels) << i;
        s->ops->Release(s);
    }
    CsStreamInfo* end = nullptr;
    EXPECT_EQ(info->ops->Next(info, &end), CS_S_OK);
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(info->ops->Release(info), 0u);
}

const uint32_t kEac3Tag = 0x33434145;
INSTANTIATE_TEST_SUITE_P(
    Files, AbiFixtureTest,
    ::testing::Values(
        AbiFixture{"ts-mpeg2-mp2.ts", 44, 0,
                   {{"MPEG2", kVideo, kMpeg2Video, 0, -1, 352, 288, 0}, {"mpeg1_audio", kAudio, kMpeg1Audio, 0, 0, 0, 0, 0}}},
        AbiFixture{"ts-h264-aac.ts", 45, 0,
                   {{"AVC1", kVideo, kAvc1, 0, -1, 320, 180, 0}, {"AAC", kAudio, kAac, 0, 0, 0, 0, 0}}},
        AbiFixture{"ts-h264-ac3.ts", 44, 0,
                   {{"AVC1", kVideo, kAvc1, 0, -1, 640, 360, 0}, {"AC3", kAudio, kAc3, 0, 0, 0, 0, 0}}},
        AbiFixture{"ts-eac3.ts", 44, 0, {{"EAC3", kAudio, kAc3, kEac3Tag, 0, 0, 0, 0}}},
        AbiFixture{"m2ts-h264-dts.m2ts", 45, 0,
                   {{"AVC1", kVideo, kAvc1, 0, -1, 176, 144, 0}, {"DTS", kAudio, kDts, 0, 0, 0, 0, 0}}},
        AbiFixture{"ts-mpeg1.ts", 44, 0, {{"MPEG2", kVideo, kMpeg2Video, 0, -1, 160, 120, 0}}},
        AbiFixture{"ts-two-programs.ts", 44, 0,
                   {{"MPEG2", kVideo, kMpeg2Video, 0, -1, 352, 288, 0},
                    {"mpeg1_audio", kAudio, kMpeg1Audio, 0, 0, 0, 0, 0},
                    {"AVC1", kVideo, kAvc1, 0, -1, 320, 240, 0},
                    {"AAC", kAudio, kAac, 0, 0, 0, 0, 0}}},
        AbiFixture{"mp4-h264-aac.mp4", 10, 2,
                   {{"avc1", kZeroGuid, kZeroGuid, 0, 0, 320, 240, 0}, {"mp4a", kZeroGuid, kZeroGuid, 0, 0, 0, 0, 0}}},
        AbiFixture{"mp4-faststart.mp4", 32, 2,
                   {{"avc1", kZeroGuid, kZeroGuid, 0, 0, 320, 240, 0}, {"mp4a", kZeroGuid, kZeroGuid, 0, 0, 0, 0, 0}}},
        AbiFixture{"mov-h264-aac.mov", 11, 3,
                   {{"avc1", kZeroGuid, kZeroGuid, 0, 0, 256, 144, 0}, {"mp4a", kZeroGuid, kZeroGuid, 0, 0, 0, 0, 0}}},
        AbiFixture{"mov-cmov.mov", 12, 3,
                   {{"avc1", kZeroGuid, kZeroGuid, 0, 0, 256, 144, 0}, {"mp4a", kZeroGuid, kZeroGuid, 0, 0, 0, 0, 0}}},
        AbiFixture{"mkv-for-mp4-code.mkv", 17, 0, {{"V_MPEG4/ISO/AVC", kVideo, kAvc1, 0, 25, 160, 120, 0}}}));

// ---- damaged files ------------------------------------------------------------------------

TEST_F(AbiTest, TruncatedAndDamagedFixturesAreHandled) {
    const std::pair<const char*, int> fixtures[] = {
        {"ts-mpeg2-mp2.ts", 44},  {"ts-h264-aac.ts", 44},    {"ts-h264-ac3.ts", 44},   {"ts-eac3.ts", 44},
        {"m2ts-h264-dts.m2ts", 45}, {"ts-mpeg1.ts", 44},     {"ts-two-programs.ts", 44}, {"mp4-h264-aac.mp4", 10},
        {"mp4-faststart.mp4", 10}, {"mov-h264-aac.mov", 11}, {"mov-cmov.mov", 12}};
    ScratchDir dir;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int opened = 0;
    for (auto [file, type] : fixtures) {
        const Bytes original = ReadAll(DataPath(file));
        ASSERT_FALSE(original.empty()) << file;
        std::vector<Bytes> variants;
        for (size_t n = 0; n < 200 && n < original.size(); n += 7) variants.emplace_back(original.begin(), original.begin() + long(n));
        for (size_t step = original.size() / 40 + 1, n = 200; n < original.size(); n += step)
            variants.emplace_back(original.begin(), original.begin() + long(n));
        for (int k = 0; k < 60; ++k) {
            Bytes b = original;
            int flips = 1 + int(next() % 4);
            // Mostly in the headers, where the parsers look.
            size_t span = (k % 2 == 0) ? std::min<size_t>(b.size(), 4096) : b.size();
            for (int j = 0; j < flips; ++j) b[next() % span] ^= uint8_t(1 + next() % 255);
            variants.push_back(std::move(b));
        }
        for (const Bytes& v : variants) {
            const std::string path = dir.Write("damaged.bin", v);
            const uint64_t before = ReadCharCount();
            CsMediaFileInfo* info = nullptr;
            CsHresult hr = Open(path, type, &info);
            const uint64_t read = ReadCharCount() - before;
            ASSERT_TRUE(hr == CS_S_OK || hr == CS_E_FAIL) << file << " " << v.size();
            EXPECT_LE(read, 4 * v.size() + 256 * 1024) << file << " " << v.size();
            if (hr == CS_S_OK) {
                ASSERT_NE(info, nullptr);
                int count = info->ops->GetStreamCount(info);
                EXPECT_GE(count, 0);
                for (int i = 0; i <= count; ++i) {
                    CsStreamInfo* s = nullptr;
                    ASSERT_EQ(info->ops->Next(info, &s), CS_S_OK);
                    if (s == nullptr) break;
                    (void)Name(s);
                    s->ops->Release(s);
                }
                info->ops->Release(info);
            }
            ++opened;
        }
    }
    EXPECT_GT(opened, 1000);
}

}  // namespace
