// Forward-reading buffered reader over a file handle that someone else opened.
#pragma once

#include <cstdint>

#include "FileIo.h"

namespace clipsight {

class FileReader {
public:
    static constexpr int kDefaultBufferSize = 1024;

    FileReader();
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Attaches to `file` (which stays the caller's), with a buffer of `bufferSize` bytes when
    // positive, else 1024. Takes the file size; reads nothing yet. Returns this reader.
    FileReader* Open(FileHandle file, int bufferSize = 0);
    // Frees the buffer and detaches; the handle is not closed.
    void Close();

    // Hands out (copy) or passes over (!copy) `len` bytes from the position; returns how many
    // were handed out or passed (fewer at end of file). When copying, at most dstLen bytes.
    int Read(uint8_t* dst, int dstLen, int len, bool copy);
    // Read(NULL, 0, len, false). Bytes beyond the buffered block are passed without reading.
    int Skip(int len);

    uint64_t Tell() const;  // 0 without a handle
    uint64_t Size() const;  // 0 without a handle
    // Moves the position; only the cursor moves when the target lies in the buffered block.
    // -1 without a handle, else 0.
    int Seek(uint64_t position);

    // Bytes this reader took from the file (for measurements).
    uint64_t BytesFromFile() const { return bytesFromFile_; }

private:
    int Refill();

    FileHandle file_ = kInvalidFileHandle;
    uint32_t cursor_ = 0;
    uint32_t valid_ = 0;
    uint64_t base_ = 0;
    uint8_t* buffer_ = nullptr;
    uint32_t bufferSize_ = kDefaultBufferSize;
    uint64_t fileSize_ = 0;
    uint64_t bytesFromFile_ = 0;
};

}  // namespace clipsight
