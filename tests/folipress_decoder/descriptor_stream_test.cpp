// The decoder's stream over a descriptor gives the bytes, positions and file a plain file would,
// whatever mix of small and large reads, seeks and writes the image library makes; once its end
// is watched, a read past the end ends the program or is cut short, as asked.
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "DescriptorStream.h"

namespace {

std::string fileOf(int fd) {
    std::string bytes(size_t(::lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    return bytes;
}

}  // namespace

TEST(DescriptorStream, ReadsSeeksAndWritesAsAPlainFile) {
    std::mt19937 random(7);
    const int fd = ::memfd_create("stream", 0);
    std::string model(300000, '\0');
    for (char& c : model) c = char(random());
    ASSERT_EQ(::write(fd, model.data(), model.size()), ssize_t(model.size()));
    ::lseek(fd, 0, SEEK_SET);

    DescriptorStream stream(fd);
    long at = 0;
    std::string got(200000, '\0');
    for (int step = 0; step < 2000; ++step) {
        const int what = int(random() % 4);
        const long n = what == 0 ? long(random() % 200000) : long(random() % 100);
        if (what < 2) {  // reads, large and small
            const size_t read = stream.read(got.data(), size_t(n));
            ASSERT_EQ(read, size_t(std::clamp(long(model.size()) - at, 0L, n))) << step;
            ASSERT_EQ(got.compare(0, read, model, size_t(at), read), 0) << step;
            at += long(read);
        } else if (what == 2) {  // seeks from the start, the position and the end
            const int origin = int(random() % 3);
            const long target = long(random() % model.size());
            const long offset = origin == SEEK_SET ? target : origin == SEEK_CUR ? target - at : target - long(model.size());
            ASSERT_EQ(stream.seek(offset, origin), 0) << step;
            at = target;
        } else {  // small writes over what is there
            const std::string bytes(size_t(n), char('a' + step % 26));
            ASSERT_TRUE(stream.write(bytes.data(), bytes.size()));
            model.replace(size_t(at), std::min(bytes.size(), model.size() - size_t(at)), bytes);
            at += n;
        }
        ASSERT_EQ(stream.tell(), at) << step;
    }
    ASSERT_TRUE(stream.flush());
    EXPECT_EQ(fileOf(fd), model);
    ::close(fd);
}

TEST(DescriptorStream, AReadPastTheWatchedEndCallsTheHandlerAsAsked) {
    using PastEnd = DescriptorStream::PastEnd;
    static int calls = 0;
    const struct {
        const char* what;
        PastEnd mode;
        long from;
        std::size_t asked;
        long fileBytes;  // what the file holds by then (it was 100 when watched)
        std::size_t given;
        int calls;
    } cases[] = {
        {"within the file", PastEnd::Ends, 80, 20, 100, 20, 0},
        {"across the end, reading what there is", PastEnd::Short, 90, 20, 100, 10, 0},
        {"at the end, reading what there is", PastEnd::Short, 100, 20, 100, 0, 0},
        {"across the end", PastEnd::Ends, 90, 20, 100, 10, 1},
        {"across the end, reading ahead", PastEnd::EndsAtEnd, 90, 20, 100, 10, 0},
        {"at the end, reading ahead", PastEnd::EndsAtEnd, 100, 4, 100, 0, 1},
        {"into a file cut short since", PastEnd::EndsAtEnd, 50, 20, 60, 10, 1},
    };
    for (const auto& c : cases) {
        const int fd = ::memfd_create("stream", 0);
        ASSERT_EQ(::ftruncate(fd, 100), 0);
        DescriptorStream stream(fd);
        calls = 0;
        stream.watchEnd(100, c.mode, [] { ++calls; });
        ASSERT_EQ(::ftruncate(fd, c.fileBytes), 0);
        ASSERT_EQ(stream.seek(c.from, SEEK_SET), 0);
        char bytes[32];
        EXPECT_EQ(stream.read(bytes, c.asked), c.given) << c.what;
        EXPECT_EQ(calls, c.calls) << c.what;
        ::close(fd);
    }
}
