// Replays the fuzz corpora of the transport stream, MP4 and Open targets with the same checks as
// the fuzz targets, so the regression inputs are run by every test run, not only by fuzzing.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Bstr.h"
#include "Control.h"
#include "FileIo.h"
#include "Mp4Parser.h"
#include "StreamList.h"
#include "TsParser.h"
#include "ts_mp4_builders.h"

using namespace clipsight;
using namespace csbuild;

namespace {

std::vector<std::string> CorpusFiles(const char* target) {
    std::vector<std::string> files;
    std::string dir = DataPath("corpus/") + target;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

void CheckList(const StreamList* list) {
    for (uint32_t i = 0; list && i < list->count; ++i) {
        ASSERT_NE(list->records[i], nullptr);
        EXPECT_EQ(list->records[i]->size, 96u);
        EXPECT_EQ(list->records[i]->name[31], '\0');
    }
}

TEST(TsCorpusReplayTest, TransportStreamParser) {
    const auto files = CorpusFiles("ts");
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        FileHandle file = OpenFileForReading(path.c_str());
        ASSERT_NE(file, kInvalidFileHandle) << path;
        TsParser parser;
        StreamList* list = nullptr;
        int result = parser.Parse(file, 44, &list);
        EXPECT_TRUE(result == 0 || result == 1) << path;
        EXPECT_EQ(result == 1, list != nullptr) << path;
        EXPECT_LE(parser.BytesRead(), 4 * GetFileSize(file) + 4 * TsParser::kReaderBufferSize) << path;
        CheckList(list);
        FreeStreamList(list);
        CloseFile(file);
    }
}

TEST(TsCorpusReplayTest, Mp4Parser) {
    const auto files = CorpusFiles("mp4");
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        FileHandle file = OpenFileForReading(path.c_str());
        ASSERT_NE(file, kInvalidFileHandle) << path;
        Mp4Parser parser;
        StreamList* list = nullptr;
        uint64_t before = TotalBytesRead();
        int result = parser.Parse(file, 10, &list);
        EXPECT_TRUE(result >= -1 && result <= 1) << path;
        EXPECT_EQ(result == 1, list != nullptr) << path;
        EXPECT_LE(TotalBytesRead() - before, GetFileSize(file) + 8) << path;
        CheckList(list);
        FreeStreamList(list);
        CloseFile(file);
    }
}

TEST(TsCorpusReplayTest, CompressedMovieHeaders) {
    const auto files = CorpusFiles("mp4_cmov");
    ASSERT_FALSE(files.empty());
    ScratchDir dir;
    for (const std::string& path : files) {
        Bytes input = ReadAll(path);
        if (input.empty() || input.size() > (1u << 20)) continue;
        const uint8_t mode = input.back();
        Bytes movie(input.begin(), input.end() - 1);
        int64_t declared = int64_t(movie.size());
        if (mode == 1) declared += 1;
        if (mode == 2) declared = declared > 0 ? declared - 1 : 0;
        if (mode == 3) declared = 0xFFFFFFFF;
        Bytes file = Cat({Atom("ftyp", Cat({Text("qt  "), Zeros(4)})), CompressedMoov(movie, "zlib", declared)});
        FileHandle handle = OpenFileForReading(dir.Write("cmov.mov", file).c_str());
        ASSERT_NE(handle, kInvalidFileHandle);
        Mp4Parser parser;
        StreamList* list = nullptr;
        int result = parser.Parse(handle, 12, &list);
        EXPECT_TRUE(result >= -1 && result <= 1) << path;
        CheckList(list);
        FreeStreamList(list);
        CloseFile(handle);
    }
}

TEST(TsCorpusReplayTest, OpenThroughTheControlObject) {
    const auto files = CorpusFiles("open");
    ASSERT_FALSE(files.empty());
    static const int kTypes[] = {10, 11, 12, 31, 32, 17, 44, 45, 99};
    ScratchDir dir;
    void* out = nullptr;
    ASSERT_EQ(CreateControlComponent(&CLSID_ClipsightControl, &out), S_OK);
    auto* control = static_cast<CKRClipsightControl*>(out);
    for (const std::string& path : files) {
        Bytes input = ReadAll(path);
        if (input.empty()) continue;
        const int type = kTypes[input[0] % (sizeof kTypes / sizeof kTypes[0])];
        std::string file = dir.Write("input.bin", Bytes(input.begin() + 1, input.end()));
        std::u16string wide(file.begin(), file.end());
        BSTR bstr = BstrAllocStringLen(wide.data(), uint32_t(wide.size()));
        MediaFileInfo* info = nullptr;
        HRESULT hr = control->ops->Open(control, bstr, type, &info);
        BstrFreeString(bstr);
        ASSERT_TRUE(hr == S_OK || hr == E_FAIL) << path;
        ASSERT_EQ(hr == S_OK, info != nullptr) << path;
        if (!info) continue;
        const int count = info->ops->GetStreamCount(info);
        for (int i = 0; i <= count; ++i) {
            StreamInfo* s = nullptr;
            HRESULT next = info->ops->Next(info, &s);
            if (next == E_FAIL && count == 0) break;
            ASSERT_EQ(next, S_OK) << path;
            if (!s) break;
            BSTR name = nullptr;
            s->ops->GetName(s, &name);
            BstrFreeString(name);
            s->ops->Release(s);
        }
        EXPECT_EQ(info->ops->Release(info), 0u);
    }
    control->ops->Release(control);
}

}  // namespace
