#include "PictureData.h"

#include <FreeImage.h>

#include <array>
#include <cstdint>

#include "PictureCursor.h"
#include "PictureHeader.h"

namespace PictureData {

namespace {

constexpr int kCodes = 4096;  // the largest code table LZW has

// The library's LZW decoder, keeping only the length of each string: the codes of a frame and
// the pixels they make, up to an end code or a code beyond the table.
class PixelCounter {
public:
    explicit PixelCounter(int minCodeSize)
        : minCodeSize_(minCodeSize), clear_(1 << minCodeSize), end_(clear_ + 1) {
        reset();
    }

    // Takes one byte of code data; false once the codes have ended.
    bool take(uint32_t byte) {
        partial_ |= byte << partialBits_;
        partialBits_ += 8;
        while (partialBits_ >= codeSize_) {
            const int code = int(partial_ & uint32_t(mask_));
            partial_ >>= codeSize_;
            partialBits_ -= codeSize_;
            if (code > next_ || code == end_) return false;
            if (code == clear_) {
                reset();
                continue;
            }
            const bool grows = old_ != kCodes && next_ < kCodes;
            if (grows) length_[std::size_t(next_)] = length_[std::size_t(old_)] + 1;
            pixels_ += length_[std::size_t(code)];
            if (grows && ++next_ < kCodes && (next_ & mask_) == 0) {
                ++codeSize_;
                mask_ |= next_;
            }
            old_ = code;
        }
        return true;
    }
    long long pixels() const { return pixels_; }

private:
    void reset() {
        for (int i = 0; i < clear_; ++i) length_[std::size_t(i)] = 1;
        next_ = end_ + 1;
        codeSize_ = minCodeSize_ + 1;
        mask_ = (1 << codeSize_) - 1;
        old_ = kCodes;
    }

    const int minCodeSize_, clear_, end_;
    // Strings keep their lengths across a clear code, as the library keeps the strings.
    std::array<long long, kCodes + 1> length_{};
    int next_ = 0, codeSize_ = 0, mask_ = 0, old_ = kCodes;
    uint32_t partial_ = 0;
    int partialBits_ = 0;
    long long pixels_ = 0;
};

// GIF: the codes of the first frame, the picture the library decodes.
Extent gif(PictureCursor& in) {
    if (!PictureHeader::ToGifImage(in)) return Extent::Damaged;
    in.skip(4);
    const long long width = in.le16(), height = in.le16();
    const uint32_t local = in.u8();
    if (local & 0x80) in.skip(3LL << ((local & 7) + 1));
    // Beyond 11 bits the library's table has no room for its own clear and end codes.
    const uint32_t minCodeSize = in.u8();
    if (in.ended() || minCodeSize < 1 || minCodeSize > 11) return Extent::Damaged;
    PixelCounter counter{int(minCodeSize)};
    const long long wanted = width * height;
    bool codes = true;
    for (uint32_t n = in.u8(); n != 0 && codes && counter.pixels() < wanted; n = in.u8()) {
        for (uint32_t i = 0; i < n && codes; ++i) codes = counter.take(in.u8());
        if (in.ended()) return Extent::Short;
    }
    return counter.pixels() >= wanted ? Extent::Whole : Extent::Short;
}

// TGA: the pixels as the library reads them after the header, its identifier and (for 8- and
// 16-bit pictures) the colour map; run-length packets may run on from one row into the next. A
// packet that would pass the picture's last pixel makes the library stop short.
Extent tga(PictureCursor& in) {
    const uint32_t idLength = in.u8(), mapType = in.u8(), type = in.u8();
    in.skip(2);
    const uint32_t mapLength = in.le16(), mapBits = in.u8();
    in.skip(4);
    const long long width = in.le16(), height = in.le16();
    const uint32_t bits = in.u8();
    if (in.ended() || width == 0 || height == 0) return Extent::Damaged;
    const long long pixelBytes = bits == 8 ? 1 : bits == 15 || bits == 16 ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 0;
    if (pixelBytes == 0) return Extent::Damaged;
    long long map = 0;
    if (mapType != 0 && bits == 8) map = mapLength * mapBits / 8;
    if (mapType != 0 && pixelBytes == 2) map = (mapBits + 7) / 8 * mapLength;
    in.seek(18 + idLength + map);
    const long long pixels = width * height;
    if (type == 1 || type == 2 || type == 3) {
        in.skip(pixels * pixelBytes - 1);
        in.u8();
        return in.ended() ? Extent::Short : Extent::Whole;
    }
    if (type != 9 && type != 10 && type != 11) return Extent::Damaged;
    for (long long done = 0; done < pixels;) {
        const uint32_t packet = in.u8();
        const long long count = (packet & 0x7F) + 1;
        in.skip((packet & 0x80 ? 1 : count) * pixelBytes - 1);
        in.u8();
        if (in.ended()) return Extent::Short;
        done += count;
        if (done > pixels) return Extent::Damaged;
    }
    return Extent::Whole;
}

// PCX: each row of planes x bytes-per-line, run-length coded with a count that starts again on
// every row (a run of 0 runs 256: the library's count is a byte); a 256-colour picture has its
// palette in the file's last 769 bytes, after its rows.
Extent pcx(PictureCursor& in) {
    in.seek(2);
    const uint32_t encoding = in.u8(), bits = in.u8();
    const long long left = in.le16(), top = in.le16(), right = in.le16(), bottom = in.le16();
    in.seek(65);
    const uint32_t planes = in.u8();
    const long long lineBytes = in.le16() * static_cast<long long>(planes);
    const uint32_t paletteInfo = in.le16();
    if (in.ended() || left >= right || top >= bottom) return Extent::Damaged;
    long long end = in.size();
    if (bits * planes == 8) {
        in.seek(end - 769);
        if (in.u8() == 0x0C && !in.ended()) end -= 769;
        else if (paletteInfo != 2) return Extent::Short;  // the palette is gone: all would be black
    }
    const long long height = bottom - top + 1;
    in.seek(128);
    if (encoding != 1) return 128 + height * lineBytes <= end ? Extent::Whole : Extent::Short;
    for (long long row = 0; row < height; ++row) {
        uint32_t count = 0;
        for (long long x = 0; x < lineBytes && !in.ended(); ++x) {
            if (count == 0) {
                const uint32_t code = in.u8();
                count = 1;
                if ((code & 0xC0) == 0xC0) {
                    count = code & 0x3F;
                    in.u8();
                }
            }
            count = (count - 1) & 0xFF;
        }
        if (in.ended() || in.pos() > end) return Extent::Short;
    }
    return Extent::Whole;
}

// DDS: rows of plain pixels a pitch apart (a 16-bit row is read three bytes a pixel and only its
// first two used), or 4 x 4 blocks of compressed ones over the picture cut to whole blocks.
Extent dds(PictureCursor& in) {
    in.seek(8);
    const uint32_t flags = in.le32();
    const long long height = static_cast<int32_t>(in.le32()), width = static_cast<int32_t>(in.le32());
    const long long pitch = static_cast<int32_t>(in.le32());
    in.seek(80);
    const uint32_t formatFlags = in.le32(), code = in.le32(), bits = in.le32();
    if (in.ended() || width <= 0 || height <= 0) return Extent::Damaged;
    const long long held = in.size() - 128;
    if (formatFlags & 0x40) {
        if (bits == 0 || bits > 128) return Extent::Damaged;
        // (the library's row without a pitch is that of the bitmap it makes: 24 bits for 16)
        const long long used = width * bits / 8, line = bits == 16 ? 3 * width : (width * bits + 7) / 8;
        const long long row = flags & 0x8 ? pitch : line;
        if (row < 0) return Extent::Damaged;
        // Divided, so that no size can wrap.
        return used <= held && (row == 0 || height - 1 <= (held - used) / row) ? Extent::Whole : Extent::Short;
    }
    if (formatFlags & 0x4) {
        const long long blocks = (width / 4) * (height / 4);  // each below 2^29
        return blocks <= held / (code == 0x31545844 ? 8 : 16) ? Extent::Whole : Extent::Short;  // "DXT1"
    }
    return Extent::Whole;
}

}  // namespace

bool Checks(int format) {
    return format == FIF_GIF || format == FIF_TARGA || format == FIF_PCX || format == FIF_DDS;
}

Extent Check(int format, PictureSource& source) {
    PictureCursor in(source);
    switch (format) {
        case FIF_GIF: return gif(in);
        case FIF_TARGA: return tga(in);
        case FIF_PCX: return pcx(in);
        case FIF_DDS: return dds(in);
        default: return Extent::Whole;
    }
}

}  // namespace PictureData
