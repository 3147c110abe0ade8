#pragma once
// Pictures for a page: any file the image library reads, in the form a page takes it (PageForm.h),
// read row by row, and its JPEG encoding.
#include <FreeImage.h>

#include "pdfwrite/PageForm.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pdfbox {

// From this JPEG quality on (the window calls it "Best") the colour channels keep their full
// resolution (4:4:4); below it they are halved each way (4:2:0), as most JPEG encoders do.
constexpr int kFullColourQuality = 80;

// A BMP in the form a page reads straight from its file, never decoding it: uncompressed,
// 24-bit colour or 8-bit greys behind the grey ramp as palette.
struct PlainBitmap {
    unsigned width = 0;
    unsigned height = 0;
    bool grey = false;
    bool bottomUp = true;
    std::uint64_t stride = 0;        // bytes of a row in the file
    std::uint32_t pixels = 0;        // where the rows start
    std::uint32_t infoSize = 0;      // bytes of the header after the file header
    std::uint32_t declaredSize = 0;  // the file's length as its header gives it
    std::uint64_t fileSize = 0;      // its length on the disk
};

// Reads the layout of such a bitmap from an open file; false when the file is no such bitmap
// or too short for its rows.
bool readPlainBitmap(int fd, PlainBitmap& out);

// A picture opened for a page, handing out its rows from the top: one byte a pixel when grey,
// else three in blue, green, red order.
class PagePicture {
public:
    // A plain uncompressed BMP of 24 bits or of 8-bit greys is read from the file a strip at a
    // time; any other picture is decoded whole by the image library. nullptr with a reason in
    // `error` on failure.
    static std::unique_ptr<PagePicture> open(const std::string& hostPath, std::string& error);
    virtual ~PagePicture() = default;

    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    bool grey() const { return grey_; }
    unsigned rowBytes() const { return grey_ ? width_ : 3 * width_; }

    // Points `rows` at rows first, first + 1, ... (at most `count`, and at least one) and returns
    // how many it gave; they stay valid until the next call. 0 when the picture cannot be read
    // (a file cut short since it was opened).
    virtual unsigned readRows(unsigned first, unsigned count, const unsigned char** rows) = 0;

protected:
    unsigned width_ = 0;
    unsigned height_ = 0;
    bool grey_ = false;
};

// The bytes of an encoded picture.
struct JpegBytes {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
};

// Encodes the picture as a baseline JPEG at quality 0..100 (0 is taken as 1): one channel for
// a grey picture, three otherwise. The accurate integer DCT, standard Huffman tables.
bool encodeJpeg(PagePicture& picture, int quality, JpegBytes& out, std::string& error);

// The picture's pixels as top-down rows, grey or red-green-blue (for uncompressed or Flate
// pictures); empty when it cannot be read.
std::vector<unsigned char> pixelRows(PagePicture& picture);

}  // namespace pdfbox
