#pragma once
// A read position in a picture, read the way the image library's loaders read their files: a
// number read past the end reads as zero and leaves a mark, so a reader follows the loader step
// by step and then asks whether it ran off the end. The stream may be pieces of the file joined
// (the data chunks of an embedded picture).
#include <cstdint>
#include <vector>

#include "PictureSource.h"

class PictureCursor {
public:
    struct Piece {
        long long start = 0;
        long long length = 0;
    };

    // The whole file.
    explicit PictureCursor(PictureSource& source);
    // The given pieces of the file, one after the other.
    PictureCursor(PictureSource& source, std::vector<Piece> pieces);

    long long size() const { return size_; }
    long long pos() const { return pos_; }
    // True once a read went past the end, or the position is past it.
    bool ended() const { return ended_ || pos_ > size_; }

    // Moves to pos; past the end is allowed, and reads there fail.
    void seek(long long pos);
    // Moves on n bytes (none when n is not positive).
    void skip(long long n);

    uint32_t u8();
    uint32_t be16();
    uint32_t be32();
    uint32_t le16();
    uint32_t le32();
    // The byte ahead bytes on from the position, without moving; -1 past the end.
    int peek(long long ahead = 0);

private:
    int byteAt(long long pos);

    PictureSource& source_;
    std::vector<Piece> pieces_;
    std::size_t piece_ = 0;  // the piece the last read fell in
    long long pieceStart_ = 0;  // its start in the stream
    long long size_ = 0;
    long long pos_ = 0;
    bool ended_ = false;
};
