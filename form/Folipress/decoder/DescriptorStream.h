#pragma once
// An open descriptor as the image library's stream: buffered reads, or buffered writes, and
// seeks through lseek alone. (The C library's streams ask the system for a file's size when they
// seek from its end, which the decoder's filter does not allow.)
#include <FreeImage.h>

#include <vector>

class DescriptorStream {
public:
    // What a read that asks for bytes beyond the end of the file does, once the end is watched.
    enum class PastEnd {
        Short,      // gives what there is
        Ends,       // calls the handler: the reader needs bytes the file does not hold
        EndsAtEnd,  // gives what there is, and calls the handler on a read that starts at the end
                    // (for a reader that reads ahead in blocks, past the end of whole files too)
    };

    explicit DescriptorStream(int fd);
    DescriptorStream(const DescriptorStream&) = delete;
    DescriptorStream& operator=(const DescriptorStream&) = delete;

    // The library's callbacks; the handle is the stream.
    static FreeImageIO* io();
    fi_handle handle() { return this; }

    // Up to n bytes; fewer at the end of the file or on a read error.
    std::size_t read(void* out, std::size_t n);
    // False once a write has failed.
    bool write(const void* data, std::size_t n);
    // 0 on success, as fseek.
    int seek(long offset, int origin);
    long tell() const;
    // Writes out what is held; false when any write failed.
    bool flush();

    // From now on the file ends after `size` bytes: reads past that never ask the system (a
    // reader that loops at the end costs nothing), and do as `mode` says, `handler` being what
    // ends the program. For a stream that is only read.
    void watchEnd(long long size, PastEnd mode, void (*handler)() = nullptr);

private:
    int fd_;
    std::vector<unsigned char> buffer_;
    std::size_t at_ = 0;      // next byte of buffer_ to hand out (reading)
    std::size_t held_ = 0;    // bytes in buffer_: read ahead, or waiting to be written
    bool writing_ = false;
    bool failed_ = false;
    long long position_ = 0;  // the descriptor's own position
    long long end_ = -1;      // the file's length, once watched
    PastEnd pastEnd_ = PastEnd::Short;
    void (*handler_)() = nullptr;
};
