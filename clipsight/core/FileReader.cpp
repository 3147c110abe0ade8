#include "FileReader.h"

#include <cstring>
#include <new>

namespace clipsight {

FileReader::FileReader() = default;

FileReader::~FileReader() { Close(); }

FileReader* FileReader::Open(FileHandle file, int bufferSize) {
    Close();
    bufferSize_ = kDefaultBufferSize;
    fileSize_ = 0;
    file_ = file;
    if (file_ != kInvalidFileHandle) {
        if (bufferSize > 0) bufferSize_ = static_cast<uint32_t>(bufferSize);
        buffer_ = new (std::nothrow) uint8_t[bufferSize_];
        if (buffer_ == nullptr) {
            file_ = kInvalidFileHandle;  // no buffer: behave as a reader without a file
            return this;
        }
        fileSize_ = GetFileSize(file_);
    }
    return this;
}

void FileReader::Close() {
    delete[] buffer_;
    buffer_ = nullptr;
    cursor_ = 0;
    valid_ = 0;
    base_ = 0;
    file_ = kInvalidFileHandle;
}

int FileReader::Refill() {
    if (file_ == kInvalidFileHandle) return 0;
    base_ += valid_;
    cursor_ = 0;
    valid_ = 0;
    if (!SeekFile(file_, base_)) return -1;
    int64_t n = ReadFile(file_, buffer_, bufferSize_);
    if (n <= 0) return -1;
    valid_ = static_cast<uint32_t>(n);
    bytesFromFile_ += valid_;
    return static_cast<int>(valid_);
}

int FileReader::Read(uint8_t* dst, int dstLen, int len, bool copy) {
    if (file_ == kInvalidFileHandle || len <= 0) return 0;
    if (copy) {
        if (dst == nullptr || dstLen <= 0) return 0;
        if (dstLen < len) len = dstLen;
    }
    int total = 0;
    for (;;) {
        const uint32_t available = valid_ - cursor_;
        if (available >= static_cast<uint32_t>(len)) {
            if (copy) std::memcpy(dst, buffer_ + cursor_, static_cast<size_t>(len));
            cursor_ += static_cast<uint32_t>(len);
            if (cursor_ == valid_) {
                // Block used up exactly: the next read starts a new block right after it.
                base_ += valid_;
                valid_ = 0;
                cursor_ = 0;
            }
            return total + len;
        }
        if (available > 0) {
            if (copy) {
                std::memcpy(dst, buffer_ + cursor_, available);
                dst += available;
            }
            total += static_cast<int>(available);
            len -= static_cast<int>(available);
            cursor_ = valid_;
        }
        if (!copy) {
            // Pass the rest without reading it: the position moves to its target or to the
            // end of the file, whichever comes first, exactly as reading it would.
            const uint64_t position = base_ + valid_;
            const uint64_t left = fileSize_ > position ? fileSize_ - position : 0;
            const uint64_t step = static_cast<uint64_t>(len) < left ? static_cast<uint64_t>(len) : left;
            base_ = position + step;
            cursor_ = 0;
            valid_ = 0;
            return total + static_cast<int>(step);
        }
        if (Refill() <= 0) return total;
    }
}

int FileReader::Skip(int len) { return Read(nullptr, 0, len, false); }

uint64_t FileReader::Tell() const {
    if (file_ == kInvalidFileHandle) return 0;
    return base_ + cursor_;
}

uint64_t FileReader::Size() const {
    if (file_ == kInvalidFileHandle) return 0;
    return fileSize_;
}

int FileReader::Seek(uint64_t position) {
    if (file_ == kInvalidFileHandle) return -1;
    if (position >= base_ && position - base_ < valid_) {
        cursor_ = static_cast<uint32_t>(position - base_);
    } else {
        base_ = position;
        cursor_ = 0;
        valid_ = 0;
    }
    return 0;
}

}  // namespace clipsight
