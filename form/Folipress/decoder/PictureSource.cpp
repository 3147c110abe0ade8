#include "PictureSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::size_t kBufferBytes = 1 << 16;
}

PictureSource::PictureSource(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size_ = st.st_size;
}

PictureSource::PictureSource(const unsigned char* data, std::size_t size)
    : data_(data), size_(static_cast<long long>(size)) {}

// Loads the buffer with the bytes from pos on; false when none are there.
bool PictureSource::fill(long long pos) {
    buffer_.resize(kBufferBytes);
    std::size_t got = 0;
    while (got < buffer_.size()) {
        const ssize_t n = ::pread(fd_, buffer_.data() + got, buffer_.size() - got,
                                  static_cast<off_t>(pos + static_cast<long long>(got)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    buffer_.resize(got);
    bufferPos_ = pos;
    bytesRead_ += static_cast<long long>(got);
    return got > 0;
}

std::size_t PictureSource::read(long long pos, unsigned char* out, std::size_t n) {
    if (pos < 0 || pos >= size_ || n == 0) return 0;
    n = std::min(n, static_cast<std::size_t>(size_ - pos));
    if (data_) {
        std::memcpy(out, data_ + pos, n);
        return n;
    }
    std::size_t done = 0;
    while (done < n) {
        const long long at = pos + static_cast<long long>(done);
        const long long end = bufferPos_ + static_cast<long long>(buffer_.size());
        if (at < bufferPos_ || at >= end) {
            if (!fill(at)) break;
            continue;
        }
        const std::size_t take = std::min<std::size_t>(n - done, static_cast<std::size_t>(end - at));
        std::memcpy(out + done, buffer_.data() + (at - bufferPos_), take);
        done += take;
    }
    return done;
}

std::vector<unsigned char> PictureSource::bytes(long long pos, std::size_t n) {
    if (pos < 0 || pos >= size_) return {};
    std::vector<unsigned char> out(std::min(n, static_cast<std::size_t>(size_ - pos)));
    out.resize(read(pos, out.data(), out.size()));
    return out;
}

int PictureSource::byte(long long pos) {
    unsigned char b = 0;
    return read(pos, &b, 1) == 1 ? b : -1;
}
