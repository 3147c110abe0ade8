// An in-memory regular file for fuzz targets that parse through a file handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#include "FileIo.h"

namespace clipsight {

// Holds one memfd for the whole run; Fill replaces its content and rewinds it.
class FuzzFile {
public:
    FuzzFile() : fd_(::memfd_create("clipsight-fuzz", MFD_CLOEXEC)) {}
    ~FuzzFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle Fill(const uint8_t* data, size_t size) {
        if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return kInvalidFileHandle;
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pwrite(fd_, data + done, size - done, off_t(done));
            if (n <= 0) return kInvalidFileHandle;
            done += size_t(n);
        }
        ::lseek(fd_, 0, SEEK_SET);
        return fd_;
    }

private:
    int fd_;
};

}  // namespace clipsight
