#pragma once
// The bytes of one picture for the header readers: read at any position, through a buffer, so
// that a reader walking a file from start to end costs one pass of large reads whatever the
// steps it takes.
#include <cstddef>
#include <vector>

class PictureSource {
public:
    // The open file; the descriptor stays the caller's and its position is left as it is.
    explicit PictureSource(int fd);
    // Bytes in memory, which must outlive the source.
    PictureSource(const unsigned char* data, std::size_t size);

    PictureSource(const PictureSource&) = delete;
    PictureSource& operator=(const PictureSource&) = delete;

    // Bytes in the picture.
    long long size() const { return size_; }
    // Up to n bytes at pos into out; fewer at the end of the file or on a read error.
    std::size_t read(long long pos, unsigned char* out, std::size_t n);
    // The same, as a copy.
    std::vector<unsigned char> bytes(long long pos, std::size_t n);
    // The byte at pos, or -1 past the end.
    int byte(long long pos);
    // Bytes read from the file so far (what a reader's walk cost).
    long long bytesRead() const { return bytesRead_; }

private:
    bool fill(long long pos);

    int fd_ = -1;
    const unsigned char* data_ = nullptr;
    long long size_ = 0;
    std::vector<unsigned char> buffer_;
    long long bufferPos_ = 0;  // file position of buffer_[0]
    long long bytesRead_ = 0;
};
