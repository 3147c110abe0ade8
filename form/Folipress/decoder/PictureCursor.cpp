#include "PictureCursor.h"

#include <algorithm>

PictureCursor::PictureCursor(PictureSource& source)
    : PictureCursor(source, {Piece{0, source.size()}}) {}

PictureCursor::PictureCursor(PictureSource& source, std::vector<Piece> pieces)
    : source_(source), pieces_(std::move(pieces)) {
    for (const Piece& p : pieces_) size_ += p.length;
}

void PictureCursor::seek(long long pos) { pos_ = std::clamp(pos, 0LL, size_ + 1); }

void PictureCursor::skip(long long n) {
    if (n > 0) pos_ = n > size_ + 1 - pos_ ? size_ + 1 : pos_ + n;
}

int PictureCursor::byteAt(long long pos) {
    if (pos < 0 || pos >= size_) return -1;
    if (pos < pieceStart_) {
        piece_ = 0;
        pieceStart_ = 0;
    }
    while (pos >= pieceStart_ + pieces_[piece_].length) {
        pieceStart_ += pieces_[piece_].length;
        ++piece_;
    }
    return source_.byte(pieces_[piece_].start + (pos - pieceStart_));
}

int PictureCursor::peek(long long ahead) { return byteAt(pos_ + ahead); }

uint32_t PictureCursor::u8() {
    const int b = byteAt(pos_);
    if (b < 0) {
        ended_ = true;
        return 0;
    }
    ++pos_;
    return static_cast<uint32_t>(b);
}

uint32_t PictureCursor::be16() {
    const uint32_t hi = u8();
    return hi << 8 | u8();
}

uint32_t PictureCursor::be32() {
    const uint32_t hi = be16();
    return hi << 16 | be16();
}

uint32_t PictureCursor::le16() {
    const uint32_t lo = u8();
    return lo | u8() << 8;
}

uint32_t PictureCursor::le32() {
    const uint32_t lo = le16();
    return lo | le16() << 16;
}
