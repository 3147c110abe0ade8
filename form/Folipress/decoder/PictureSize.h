#pragma once
// A picture's size as its header gives it, and the bound on the pictures a run decodes.

// The most pixels a picture may have: 2^28 (16384 x 16384), four times a 600 dpi A3 scan
// (7016 x 9921) and more than any page is printed from. Decoded, such a picture takes at most
// 1 GB at 8 bits a channel (2 GB at 16), which bounds what a run needs whatever it is given; a
// picture beyond it is refused by its header before anything is decoded.
constexpr long long kMaxPicturePixels = 1LL << 28;

// The longest side a page's picture may have: it goes into the page as a JPEG, whose sides end
// at 65500 pixels.
constexpr long long kMaxPictureSide = 65500;

struct PictureSize {
    bool known = false;     // false: no size can be read from the header
    bool knowable = true;   // false: the format tells no size before the picture is decoded
    long long width = 0;
    long long height = 0;
    // Divides rather than multiplies, so no width or height a header holds can wrap it.
    bool tooLarge() const {
        if (width <= 0 || height <= 0) return false;
        return width > kMaxPicturePixels / height;
    }
    bool tooLong() const { return width > kMaxPictureSide || height > kMaxPictureSide; }
};
