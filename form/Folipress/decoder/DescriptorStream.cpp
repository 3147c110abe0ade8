#include "DescriptorStream.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

DescriptorStream& stream(fi_handle h) { return *static_cast<DescriptorStream*>(h); }

unsigned DLL_CALLCONV readProc(void* buffer, unsigned size, unsigned count, fi_handle h) {
    if (size == 0) return 0;
    return unsigned(stream(h).read(buffer, std::size_t(size) * count) / size);
}
unsigned DLL_CALLCONV writeProc(void* buffer, unsigned size, unsigned count, fi_handle h) {
    return stream(h).write(buffer, std::size_t(size) * count) ? count : 0;
}
int DLL_CALLCONV seekProc(fi_handle h, long offset, int origin) { return stream(h).seek(offset, origin); }
long DLL_CALLCONV tellProc(fi_handle h) { return stream(h).tell(); }

}  // namespace

DescriptorStream::DescriptorStream(int fd) : fd_(fd), buffer_(kBufferBytes) {}

FreeImageIO* DescriptorStream::io() {
    static FreeImageIO callbacks{readProc, writeProc, seekProc, tellProc};
    return &callbacks;
}

void DescriptorStream::watchEnd(long long size, PastEnd mode, void (*handler)()) {
    end_ = size;
    pastEnd_ = mode;
    handler_ = handler;
}

std::size_t DescriptorStream::read(void* out, std::size_t n) {
    if (writing_) {
        if (!flush()) return 0;
        writing_ = false;
    }
    if (end_ >= 0) {
        const long long left = std::max(0LL, end_ - static_cast<long long>(tell()));
        if (static_cast<unsigned long long>(left) < n) {
            if (handler_ && (pastEnd_ == PastEnd::Ends || (pastEnd_ == PastEnd::EndsAtEnd && left == 0)))
                handler_();
            n = std::size_t(left);
        }
    }
    auto* to = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < n) {
        if (at_ == held_) {
            // A large request goes straight into the caller's memory.
            const bool direct = n - done >= buffer_.size();
            const ssize_t got = ::read(fd_, direct ? to + done : buffer_.data(), direct ? n - done : buffer_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            position_ += got;
            if (direct) {
                at_ = held_ = 0;  // what the buffer held is no longer just behind the position
                done += std::size_t(got);
                continue;
            }
            at_ = 0;
            held_ = std::size_t(got);
        }
        const std::size_t take = std::min(n - done, held_ - at_);
        std::memcpy(to + done, buffer_.data() + at_, take);
        at_ += take;
        done += take;
    }
    // The file ended sooner than it did when watched: it is being cut short.
    if (done < n && end_ >= 0 && handler_ && pastEnd_ != PastEnd::Short) handler_();
    return done;
}

bool DescriptorStream::write(const void* data, std::size_t n) {
    if (!writing_) {
        // What was read ahead is given back.
        if (at_ != held_ && ::lseek(fd_, off_t(tell()), SEEK_SET) < 0) failed_ = true;
        else position_ = tell();
        at_ = held_ = 0;
        writing_ = true;
    }
    const auto* from = static_cast<const unsigned char*>(data);
    while (n > 0 && !failed_) {
        if (held_ == buffer_.size() && !flush()) break;
        const std::size_t take = std::min(n, buffer_.size() - held_);
        std::memcpy(buffer_.data() + held_, from, take);
        held_ += take;
        from += take;
        n -= take;
    }
    return !failed_;
}

bool DescriptorStream::flush() {
    if (!writing_) return !failed_;
    std::size_t done = 0;
    while (done < held_ && !failed_) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, held_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failed_ = true;
        else done += std::size_t(n);
    }
    position_ += static_cast<long long>(done);
    held_ = 0;
    return !failed_;
}

int DescriptorStream::seek(long offset, int origin) {
    if (!flush()) return -1;
    if (origin == SEEK_CUR || origin == SEEK_SET) {
        const long long target = offset + (origin == SEEK_CUR ? tell() : 0);
        if (target < 0) return -1;
        // Within what was read ahead: no call at all.
        const long long start = position_ - static_cast<long long>(held_);
        if (!writing_ && target >= start && target <= position_) {
            at_ = std::size_t(target - start);
            return 0;
        }
        offset = long(target);
        origin = SEEK_SET;
    }
    const off_t at = ::lseek(fd_, off_t(offset), origin);
    if (at < 0) return -1;
    position_ = at;
    at_ = held_ = 0;
    writing_ = false;
    return 0;
}

long DescriptorStream::tell() const {
    const long long held = static_cast<long long>(held_);
    return long(writing_ ? position_ + held : position_ - (held - static_cast<long long>(at_)));
}
