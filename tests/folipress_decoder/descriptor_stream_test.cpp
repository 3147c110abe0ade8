// The decoder's stream over a descriptor gives the bytes, positions and file a plain file would,
// whatever mix of small and large reads, seeks and writes the image library makes.
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
