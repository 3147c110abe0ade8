// Buffered file reader, bit helpers and the file layer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BitHelpers.h"
#include "FileIo.h"
#include "FileReader.h"

using namespace clipsight;

namespace {

// A temporary file with given bytes, open for reading while the object lives.
class ReaderTempFile {
public:
    explicit ReaderTempFile(const std::vector<uint8_t>& bytes, uint64_t sparseSize = 0) {
        char name[] = "/tmp/clipsight_reader_XXXXXX";
        int fd = ::mkstemp(name);
        path_ = name;
        if (!bytes.empty()) {
            EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        }
        if (sparseSize > bytes.size()) {
            EXPECT_EQ(::ftruncate(fd, off_t(sparseSize)), 0);
        }
        ::close(fd);
        handle_ = OpenFileForReading(path_.c_str());
    }
    ~ReaderTempFile() {
        CloseFile(handle_);
        ::unlink(path_.c_str());
    }
    FileHandle handle() const { return handle_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    FileHandle handle_ = kInvalidFileHandle;
};

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
    return v;
}

TEST(ReaderTest, ShortFileReadsUpToItsEnd) {
    ReaderTempFile file(Counting(10));
    FileReader reader;
    reader.Open(file.handle());
    uint8_t buf[4];
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 4);
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 4);
    EXPECT_EQ(buf[0], Counting(10)[4]);
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 2);
    EXPECT_EQ(buf[1], Counting(10)[9]);
    EXPECT_EQ(reader.Tell(), 10u);
    EXPECT_EQ(reader.Size(), 10u);
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 0);
}

TEST(ReaderTest, ReadsAcrossBlockEnds) {
    const auto data = Counting(5000);
    ReaderTempFile file(data);
    FileReader reader;
    reader.Open(file.handle(), 64);
    // Exactly the block, then the next read starts the following block at the right offset.
    std::vector<uint8_t> buf(300);
    EXPECT_EQ(reader.Read(buf.data(), 300, 64, true), 64);
    EXPECT_EQ(reader.Tell(), 64u);
    EXPECT_EQ(reader.Read(buf.data(), 300, 3, true), 3);
    EXPECT_EQ(buf[0], data[64]);
    // A read spanning several blocks.
    EXPECT_EQ(reader.Read(buf.data(), 300, 300, true), 300);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.end()),
              std::vector<uint8_t>(data.begin() + 67, data.begin() + 367));
    EXPECT_EQ(reader.Tell(), 367u);
}

TEST(ReaderTest, CopyIsLimitedByDestinationLength) {
    ReaderTempFile file(Counting(100));
    FileReader reader;
    reader.Open(file.handle());
    uint8_t buf[8] = {};
    EXPECT_EQ(reader.Read(buf, 3, 8, true), 3);
    EXPECT_EQ(reader.Tell(), 3u);
    EXPECT_EQ(reader.Read(nullptr, 8, 8, true), 0);
    EXPECT_EQ(reader.Read(buf, 8, 0, true), 0);
    EXPECT_EQ(reader.Read(buf, 8, -5, true), 0);
    EXPECT_EQ(reader.Tell(), 3u);
}

TEST(ReaderTest, SeekInsideBlockReadsNothingAndOutsideRefills) {
    const auto data = Counting(4000);
    ReaderTempFile file(data);
    FileReader reader;
    reader.Open(file.handle(), 1024);
    uint8_t b = 0;
    reader.Read(&b, 1, 1, true);
    const uint64_t before = reader.BytesFromFile();
    EXPECT_EQ(reader.Seek(700), 0);
    EXPECT_EQ(reader.Read(&b, 1, 1, true), 1);
    EXPECT_EQ(b, data[700]);
    EXPECT_EQ(reader.BytesFromFile(), before);
    EXPECT_EQ(reader.Seek(3000), 0);
    EXPECT_EQ(reader.Tell(), 3000u);
    EXPECT_EQ(reader.Read(&b, 1, 1, true), 1);
    EXPECT_EQ(b, data[3000]);
    EXPECT_EQ(reader.BytesFromFile(), before + 1000);  // one block from 3000 to the end
    // Back to an earlier position outside the block.
    reader.Seek(10);
    reader.Read(&b, 1, 1, true);
    EXPECT_EQ(b, data[10]);
}

TEST(ReaderTest, SkipMovesLikeReadAndStopsAtEnd) {
    const auto data = Counting(3000);
    ReaderTempFile file(data);
    FileReader reader;
    reader.Open(file.handle(), 256);
    uint8_t b = 0;
    EXPECT_EQ(reader.Skip(10), 10);  // nothing buffered yet
    EXPECT_EQ(reader.Read(&b, 1, 1, true), 1);
    EXPECT_EQ(b, data[10]);
    EXPECT_EQ(reader.Skip(100), 100);  // inside the block
    EXPECT_EQ(reader.Tell(), 111u);
    EXPECT_EQ(reader.Skip(1000), 1000);  // out of the block
    EXPECT_EQ(reader.Tell(), 1111u);
    EXPECT_EQ(reader.Read(&b, 1, 1, true), 1);
    EXPECT_EQ(b, data[1111]);
    EXPECT_EQ(reader.Skip(5000), 3000 - 1112);  // past the end: the bytes actually passed
    EXPECT_EQ(reader.Tell(), 3000u);
    EXPECT_EQ(reader.Skip(5), 0);
    EXPECT_EQ(reader.Read(&b, 1, 1, true), 0);
}

TEST(ReaderTest, SkipDoesNotReadWhatItPasses) {
    // 256 MiB, sparse: skipping it whole must cost no more than the blocks actually used.
    ReaderTempFile file(Counting(16), uint64_t(256) << 20);
    FileReader reader;
    reader.Open(file.handle(), 2048);
    uint8_t b = 0;
    reader.Read(&b, 1, 1, true);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(reader.Skip(1 << 20), 1 << 20);
        reader.Read(&b, 1, 1, true);
    }
    EXPECT_LE(reader.BytesFromFile(), 101u * 2048u);
    EXPECT_EQ(reader.Tell(), 100u * ((1u << 20) + 1) + 1);
}

TEST(ReaderTest, ReaderWithoutHandle) {
    FileReader reader;
    uint8_t buf[4];
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 0);
    EXPECT_EQ(reader.Skip(4), 0);
    EXPECT_EQ(reader.Tell(), 0u);
    EXPECT_EQ(reader.Size(), 0u);
    EXPECT_EQ(reader.Seek(0), -1);
    reader.Open(kInvalidFileHandle, 4096);
    EXPECT_EQ(reader.Read(buf, 4, 4, true), 0);
    EXPECT_EQ(reader.Seek(0), -1);
}

TEST(ReaderTest, CloseLeavesTheHandleOpen) {
    ReaderTempFile file(Counting(10));
    {
        FileReader reader;
        reader.Open(file.handle());
        reader.Close();
        EXPECT_EQ(reader.Tell(), 0u);
        uint8_t b;
        EXPECT_EQ(reader.Read(&b, 1, 1, true), 0);
    }
    uint8_t b = 0;
    SeekFile(file.handle(), 9);
    EXPECT_EQ(ReadFile(file.handle(), &b, 1), 1);
    EXPECT_EQ(b, Counting(10)[9]);
}

TEST(ReaderTest, ReopenResetsPosition) {
    ReaderTempFile file(Counting(100));
    FileReader reader;
    reader.Open(file.handle());
    reader.Skip(50);
    reader.Open(file.handle(), 16);
    EXPECT_EQ(reader.Tell(), 0u);
    uint8_t b = 0;
    reader.Read(&b, 1, 1, true);
    EXPECT_EQ(b, Counting(100)[0]);
}

TEST(ReaderBitsTest, CountLeadingZeroBits) {
    EXPECT_EQ(CountLeadingZeroBits(0x80), 0);
    EXPECT_EQ(CountLeadingZeroBits(0xFF), 0);
    EXPECT_EQ(CountLeadingZeroBits(0x40), 1);
    EXPECT_EQ(CountLeadingZeroBits(0x1A), 3);
    EXPECT_EQ(CountLeadingZeroBits(0x01), 7);
    EXPECT_EQ(CountLeadingZeroBits(0x00), 8);
}

TEST(ReaderBitsTest, GetBit) {
    EXPECT_EQ(GetBit(0x80, 0), 1);
    EXPECT_EQ(GetBit(0x80, 1), 0);
    EXPECT_EQ(GetBit(0x01, 7), 1);
    EXPECT_EQ(GetBit(0xFF, 8), 0);
    EXPECT_EQ(GetBit(0xFF, -1), 0);
}

TEST(ReaderFileIoTest, OpensOnlyExistingRegularFiles) {
    EXPECT_EQ(OpenFileForReading("/nonexistent/clipsight/file"), kInvalidFileHandle);
    EXPECT_EQ(OpenFileForReading(nullptr), kInvalidFileHandle);
    EXPECT_EQ(OpenFileForReading(""), kInvalidFileHandle);
    EXPECT_EQ(OpenFileForReading("/tmp"), kInvalidFileHandle);
    EXPECT_EQ(OpenFileForReading("/dev/zero"), kInvalidFileHandle);
    ReaderTempFile file(Counting(33));
    ASSERT_NE(file.handle(), kInvalidFileHandle);
    EXPECT_EQ(GetFileSize(file.handle()), 33u);
    EXPECT_EQ(GetFileSize(kInvalidFileHandle), 0u);
}

TEST(ReaderFileIoTest, ReadSeekAndRelativeSeek) {
    const auto data = Counting(50);
    ReaderTempFile file(data);
    uint8_t buf[8];
    const uint64_t before = TotalBytesRead();
    EXPECT_EQ(ReadFile(file.handle(), buf, 8), 8);
    EXPECT_EQ(TotalBytesRead() - before, 8u);
    EXPECT_TRUE(SeekFileRelative(file.handle(), 2));
    EXPECT_EQ(TellFile(file.handle()), 10);
    EXPECT_EQ(ReadFile(file.handle(), buf, 1), 1);
    EXPECT_EQ(buf[0], data[10]);
    EXPECT_FALSE(SeekFileRelative(file.handle(), -100));
    EXPECT_TRUE(SeekFile(file.handle(), 48));
    EXPECT_EQ(ReadFile(file.handle(), buf, 8), 2);
    EXPECT_EQ(ReadFile(file.handle(), buf, 8), 0);
    EXPECT_EQ(ReadFile(kInvalidFileHandle, buf, 8), -1);
    EXPECT_FALSE(SeekFile(kInvalidFileHandle, 0));
    EXPECT_FALSE(SeekFile(file.handle(), UINT64_MAX));
    EXPECT_EQ(TellFile(kInvalidFileHandle), -1);
}

TEST(ReaderFileIoTest, ReadCountHoldsWhenThreadsReadAtOnce) {
    // Two media-file objects may be used on two threads: no read may go uncounted.
    ReaderTempFile a(Counting(64));
    ReaderTempFile b(Counting(64));
    constexpr int kReads = 50000;
    const uint64_t before = TotalBytesRead();
    auto reader = [](FileHandle handle) {
        uint8_t buf[4];
        for (int i = 0; i < kReads; ++i) {
            SeekFile(handle, 0);
            ReadFile(handle, buf, sizeof buf);
        }
    };
    std::thread first(reader, a.handle());
    std::thread second(reader, b.handle());
    first.join();
    second.join();
    EXPECT_EQ(TotalBytesRead() - before, uint64_t(2) * kReads * 4);
}

}  // namespace
