#include "XbmHeader.h"

#include <cstdio>
#include <cstring>

namespace XbmHeader {

namespace {

// The library's lines: up to the newline, at most 512 bytes.
constexpr int kMaxLine = 512;

// The next line into line (a C string); false at the end of the file.
bool readLine(PictureCursor& in, char (&line)[kMaxLine + 1]) {
    int i = 0;
    do {
        const int c = in.peek();
        if (c < 0) return false;
        in.skip(1);
        line[i++] = static_cast<char>(c);
    } while (line[i - 1] != '\n' && i < kMaxLine);
    line[i] = '\0';
    return true;
}

int hexValue(uint32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return 256;  // not a digit, as in the library's table
}

// The X10 form: 16-bit words "0xHHHH", each found by its 'x'. False where the library fails or
// waits without end.
bool readWords(PictureCursor& in, long long words) {
    for (long long n = 0; n < words; ++n) {
        while (in.u8() != 'x')
            if (in.ended()) return false;
        for (int half = 0; half < 2; ++half) {
            const int hi = hexValue(in.u8());
            const int lo = hexValue(in.u8());
            if (in.ended() || (hi << 4) + lo >= 256) return false;
        }
    }
    return true;
}

// The X11 form: bytes, each a run of hex digits (with "0x" allowed while the value is 0) ended
// by any other character, which a number cut off by the end of the file does not have.
bool readBytes(PictureCursor& in, long long bytes) {
    for (long long n = 0; n < bytes; ++n) {
        int value = 256;
        while (value == 256) {
            value = hexValue(in.u8());
            if (in.ended()) return false;
        }
        for (;;) {
            const uint32_t c = in.u8();
            if (in.ended()) return false;
            if (const int digit = hexValue(c); digit != 256) {
                value = value << 4 | digit;
                if (value >= 256) return false;
            } else if (c == 'x' || c == 'X') {
                if (value != 0) return false;
            } else {
                break;
            }
        }
    }
    return true;
}

}  // namespace

PictureSize Size(PictureCursor& in) {
    char line[kMaxLine + 1];
    char name[kMaxLine + 1];
    // The library reads the numbers with sscanf's %d: the value strtol gives, cut to an int.
    long width = -1, height = -1;
    int version = 0;
    while (version == 0) {
        if (!readLine(in, line) || std::strlen(line) == kMaxLine - 1) return {};
        long value = 0;
        if (std::sscanf(line, "#define %s %ld", name, &value) == 2) {
            const char* underscore = std::strrchr(name, '_');
            const char* what = underscore ? underscore + 1 : name;
            const long truncated = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(value)));
            if (std::strcmp(what, "width") == 0) width = truncated;
            else if (std::strcmp(what, "height") == 0) height = truncated;
            continue;
        }
        if (std::sscanf(line, "static short %s = {", name) == 1) version = 10;
        else if (std::sscanf(line, "static char %s = {", name) == 1) version = 11;
        else if (std::sscanf(line, "static unsigned char %s = {", name) == 1) version = 11;
    }
    // A size that is missing, or not a positive number, gives no picture the library reads whole.
    if (width <= 0 || height <= 0) return {};
    PictureSize size;
    size.known = true;
    size.width = width;
    size.height = height;
    if (size.tooLarge()) return size;
    // The numbers follow the declaration's line; the X10 form pads a row whose width leaves 1 to
    // 8 bits in its last word with one byte.
    const long long padding = version == 10 && width % 16 >= 1 && width % 16 <= 8 ? 1 : 0;
    const long long raster = ((width + 7) / 8 + padding) * height;
    const bool whole = version == 10 ? readWords(in, (raster + 1) / 2) : readBytes(in, raster);
    return whole ? size : PictureSize();
}

}  // namespace XbmHeader
