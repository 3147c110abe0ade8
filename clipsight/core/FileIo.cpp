#include "FileIo.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clipsight {

namespace {
// Hosts may read files on several threads at once (one media-file object each).
std::atomic<uint64_t> g_bytesRead{0};
}

FileHandle OpenFileForReading(const char* path) {
    if (path == nullptr || *path == '\0') return kInvalidFileHandle;
    // Opened without blocking: a pipe without a writer, or a device, would otherwise hold the
    // open until someone writes. Only a regular file is kept, and it reads as usual after that.
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return kInvalidFileHandle;
    struct stat st;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return kInvalidFileHandle;
    }
    return fd;
}

void CloseFile(FileHandle file) {
    if (file >= 0) ::close(file);
}

int64_t ReadFile(FileHandle file, void* destination, size_t length) {
    if (file < 0 || (destination == nullptr && length > 0)) return -1;
    auto* out = static_cast<unsigned char*>(destination);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::read(file, out + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (done == 0) return -1;
            break;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    g_bytesRead.fetch_add(done, std::memory_order_relaxed);
    return static_cast<int64_t>(done);
}

bool SeekFile(FileHandle file, uint64_t position) {
    if (file < 0 || position > static_cast<uint64_t>(INT64_MAX)) return false;
    return ::lseek(file, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool SeekFileRelative(FileHandle file, int64_t distance) {
    if (file < 0) return false;
    return ::lseek(file, static_cast<off_t>(distance), SEEK_CUR) >= 0;
}

int64_t TellFile(FileHandle file) {
    if (file < 0) return -1;
    off_t pos = ::lseek(file, 0, SEEK_CUR);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

uint64_t GetFileSize(FileHandle file) {
    struct stat st;
    if (file < 0 || ::fstat(file, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

uint64_t TotalBytesRead() { return g_bytesRead.load(std::memory_order_relaxed); }

}  // namespace clipsight
