#pragma once
// What Folipress and its picture decoder program say to each other, and the limits the decoder
// runs under. The decoder does one step on one picture per start, started without a shell: the
// picture is open as its standard input, and what the step makes goes to its standard output.
// It opens nothing itself.
//
//   folipress-decoder probe PARENT EXTENSION
//       the format the picture's content shows (where it shows none, the format of its file
//       name's EXTENSION) and its size as its header gives it: one answer line (toLine).
//   folipress-decoder decode PARENT FORMAT WIDTH HEIGHT
//       the picture decoded in FORMAT, turned into the page bitmap and written as a BMP file:
//       uncompressed, bottom-up, 24-bit colour or 8-bit greys with the grey ramp as palette.
//       A picture that decodes to another size than WIDTH x HEIGHT (the probe's answer) is
//       refused, and so is one whose decoding needs bytes beyond the end of its file (cut off).
//       Standard output is the file the bitmap goes into.
// PARENT is the caller's process id: the decoder never outlives it.
//
// Plain C++: both programs include it.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "PictureSize.h"

namespace DecoderProtocol {

inline constexpr const char* kProgramName = "folipress-decoder";

// The decoder's exit status. Signals it may die of: SIGXCPU (its CPU time), SIGKILL (the
// caller's watchdog, or the limit's hard end), SIGSYS (a system call outside its filter), and
// whatever a decoder's fault raises.
enum ExitStatus : int {
    kDone = 0,
    kBadArguments = 2,
    kUnreadable = 3,   // the library reads no picture there: damaged, cut off, or no picture
    kSizeDiffers = 4,  // decoded, the picture has another size than its header gave
    kNotWritten = 5,   // the bitmap could not be written whole
    kNotConfined = 6,  // the limits could not be taken
    kCutOff = 7,       // the picture's data ends before the picture does
};

// The probe's answer.
struct Answer {
    int format = -1;         // the library's format code; -1: no picture the library reads
    PictureSize size;        // from the header
    std::string formatName;  // the library's short name of the format ("PNG")
};

// "FORMAT KNOWN KNOWABLE WIDTH HEIGHT NAME\n"
inline std::string toLine(const Answer& a) {
    return std::to_string(a.format) + ' ' + (a.size.known ? '1' : '0') + ' ' +
           (a.size.knowable ? '1' : '0') + ' ' + std::to_string(a.size.width) + ' ' +
           std::to_string(a.size.height) + ' ' + a.formatName + '\n';
}

// False for anything but one well-formed answer line.
inline bool fromLine(std::string_view line, Answer& a) {
    if (line.empty() || line.back() != '\n' || line.size() > 200) return false;
    line.remove_suffix(1);
    auto field = [&](long long& v, long long lo, long long hi) {
        const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), v);
        if (ec != std::errc() || end == line.data() || v < lo || v > hi) return false;
        line.remove_prefix(std::size_t(end - line.data()));
        if (line.empty() || line.front() != ' ') return false;
        line.remove_prefix(1);
        return true;
    };
    long long format = 0, known = 0, knowable = 0, w = 0, h = 0;
    if (!field(format, -1, 1000) || !field(known, 0, 1) || !field(knowable, 0, 1) ||
        !field(w, 0, 0xFFFFFFFFLL) || !field(h, 0, 0xFFFFFFFFLL))
        return false;
    for (const char c : line)
        if (c < '!' || c > '~') return false;
    a.format = int(format);
    a.size.known = known == 1;
    a.size.knowable = knowable == 1;
    a.size.width = w;
    a.size.height = h;
    a.formatName = std::string(line);
    return true;
}

// ---- Limits ---------------------------------------------------------------------------------

// Pixels a width and height make, for the limits: never above the bound, never wrapping.
inline std::uint64_t boundedPixels(long long width, long long height) {
    if (width <= 0 || height <= 0) return 0;
    const PictureSize s{true, true, width, height};
    return s.tooLarge() ? std::uint64_t(kMaxPicturePixels) : std::uint64_t(width) * std::uint64_t(height);
}

// Address space of the program itself with its libraries, and the decoders' own tables,
// streams and row buffers: it starts in about 17 MB.
inline constexpr std::uint64_t kProgramBytes = 128ull << 20;
// Bytes a pixel may take while a picture becomes its page bitmap, at the widest: the library's
// bitmap of four 32-bit float channels (16), a 32-bit copy on the way down (4) and the 24-bit
// page (3), or a JPEG 2000 decoder's 32-bit integer a sample (16) beside the library's bitmap.
inline constexpr std::uint64_t kBytesPerPixel = 32;

// A probe reads a header: the program and what the header holds, never more than the file.
inline std::uint64_t probeMemory(std::uint64_t fileBytes) {
    return kProgramBytes + std::min<std::uint64_t>(fileBytes, 256ull << 20);
}
// A decode: the program and the pixels its header said, so a picture that decodes larger than
// it said runs out of memory at once; 8 GB and a little at the bound.
inline std::uint64_t decodeMemory(long long width, long long height) {
    return kProgramBytes + kBytesPerPixel * boundedPixels(width, height);
}

// CPU seconds: a header is read at once; a picture decodes at well over 2 million pixels a
// second in every format (JPEG 2000 at its slowest), so a small one that makes a decoder loop
// ends within seconds.
inline constexpr int kProbeSeconds = 2;
inline int decodeSeconds(long long width, long long height) {
    return 2 + int(boundedPixels(width, height) / 2'000'000);
}
// The caller's watchdog gives a busy machine as long again, and a second to start.
inline int wallSeconds(int cpuSeconds) { return 2 * cpuSeconds + 1; }

// The largest bitmap a picture of this size makes (24-bit rows, or 8-bit ones behind a palette).
inline std::uint64_t bitmapBytes(long long width, long long height) {
    if (width <= 0 || height <= 0 || PictureSize{true, true, width, height}.tooLarge()) return 0;
    const std::uint64_t w = std::uint64_t(width), h = std::uint64_t(height);
    return 54 + 1024 + ((3 * w + 3) & ~std::uint64_t(3)) * h;
}

}  // namespace DecoderProtocol
