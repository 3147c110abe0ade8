// Sizing cost of the picture header readers: pictures of a few MB whose size is read only by
// walking them (a PICT of many packed rows, a PICT whose QuickTime JPEG lies at its end, an XBM,
// a PBM of packed rows), each sized from its file as the conversion run sizes it.
//   picture_header_bench [--megabytes M] [--repeat N]
// For each: the median time of N sizings (default 5), and the bytes read against the file's
// size (target: one pass, at most the file and one buffer more); exit status 1 when over.
#include <FreeImage.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PictureHeader.h"

namespace {

using Bytes = std::string;

Bytes be16(unsigned v) { return {char(v >> 8), char(v)}; }
Bytes be32(unsigned v) { return be16(v >> 16) + be16(v & 0xFFFF); }
Bytes rect(unsigned w, unsigned h) { return be16(0) + be16(0) + be16(h) + be16(w); }
Bytes pictStart() { return Bytes(512, '\0') + be16(0) + rect(1, 1) + be16(0x11) + be16(0x2FF) + be16(0xC00) + Bytes(24, '\0'); }

// An 8-bit pixel map of `bytes` bytes or so: rows of 2000 pixels packed as 100 runs of 20.
Bytes packedPict(long long bytes) {
    const unsigned width = 2000, height = unsigned(std::min<long long>(bytes / 201, 16000));
    Bytes p = pictStart() + be16(0x98) + be16(0x8000 | width) + rect(width, height) + Bytes(18, '\0') + be16(8) +
              be16(1) + Bytes(14, '\0') + be32(0) + be16(0) + be16(1) + Bytes(16, '\0') + rect(width, height) +
              rect(width, height) + be16(0);
    Bytes row = be16(200);
    for (int run = 0; run < 100; ++run) row += Bytes{char(257 - 20), char(run)};
    for (unsigned y = 0; y < height; ++y) p += row;
    return p + be16(0xFF);
}

// A QuickTime opcode whose JPEG follows `bytes` bytes of its other data.
Bytes quickTimePict(long long bytes) {
    const Bytes jpeg = Bytes("\xFF\xD8\xFF\xC0", 4) + be16(11) + "\x08" + be16(600) + be16(800) + Bytes("\x01\x01\x11\x00", 4) +
                       Bytes("\xFF\xDA", 2) + be16(8) + Bytes(6, '\0') + Bytes("\xFF\xD9", 2);
    return pictStart() + be16(0x8200) + be32(unsigned(bytes + jpeg.size())) + Bytes(size_t(bytes), '\x11') + jpeg + be16(0xFF);
}

Bytes xbm(long long bytes) {
    const long long width = 1024, height = bytes / (width / 8) / 5;
    Bytes x = "#define b_width " + std::to_string(width) + "\n#define b_height " + std::to_string(height) +
              "\nstatic char b_bits[] = {\n";
    for (long long i = 0; i < width / 8 * height; ++i) x += (i % 12 == 11) ? "0x55,\n" : "0x55,";
    return x + "};\n";
}

// A PBM of 2000 x N, each row packed as 16 runs of 125.
Bytes packedPbm(long long bytes) {
    const unsigned width = 2000, height = unsigned(std::min<long long>(bytes / 32, 65535));
    Bytes body;
    for (unsigned y = 0; y < height; ++y)
        for (int run = 0; run < 16; ++run) body += Bytes{char(257 - 125), char(run)};
    const Bytes bmhd = "BMHD" + be32(20) + be16(width) + be16(height) + Bytes(4, '\0') + Bytes{8, 0, 1, 0} + Bytes(8, '\0');
    const Bytes chunks = bmhd + "BODY" + be32(unsigned(body.size())) + body;
    return "FORM" + be32(unsigned(4 + chunks.size())) + "PBM " + chunks;
}

}  // namespace

int main(int argc, char** argv) {
    long long megabytes = 3;
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--megabytes" || a == "--repeat") && i + 1 < argc) {
            const long long v = std::atoll(argv[++i]);
            if (v <= 0) {
                std::fprintf(stderr, "picture_header_bench: %s takes a positive number\n", a.c_str());
                return 2;
            }
            if (a == "--repeat") repeat = int(v); else megabytes = v;
        } else {
            std::fprintf(stderr, "usage: picture_header_bench [--megabytes M] [--repeat N]\n");
            return 2;
        }
    }
    const long long bytes = megabytes << 20;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/picture-header-bench-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        std::perror("picture_header_bench: mkdtemp");
        return 1;
    }
    const struct {
        const char* name;
        int format;
        Bytes data;
    } pictures[] = {
        {"PICT, 8-bit pixel map of packed rows", FIF_PICT, packedPict(bytes)},
        {"PICT, QuickTime JPEG at its end", FIF_PICT, quickTimePict(bytes)},
        {"XBM", FIF_XBM, xbm(bytes)},
        {"IFF PBM of packed rows", FIF_IFF, packedPbm(bytes)},
    };
    bool met = true;
    std::printf("Sizing a picture from its header (median of %d)\n", repeat);
    std::printf("  %-40s %9s %12s %9s %14s\n", "picture", "size MB", "size read", "ms", "read / size");
    for (const auto& p : pictures) {
        const std::string path = folder + "/picture";
        std::ofstream(path, std::ios::binary) << p.data;
        std::vector<double> ms;
        PictureSize size;
        long long read = 0;
        for (int r = 0; r < repeat; ++r) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            const auto start = std::chrono::steady_clock::now();
            PictureSource source(fd);
            size = PictureHeader::Size(p.format, source);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            read = source.bytesRead();
            ::close(fd);
        }
        std::sort(ms.begin(), ms.end());
        const double ratio = double(read) / double(p.data.size());
        const bool onePass = read <= (long long)p.data.size() + 65536;
        met = met && onePass && size.known;
        std::printf("  %-40s %9.2f %5lld x %-5lld %9.2f %8.2f %s\n", p.name, p.data.size() / 1048576.0, size.width,
                    size.height, ms[ms.size() / 2], ratio, onePass ? "(met)" : "(OVER)");
    }
    std::filesystem::remove_all(folder);
    std::printf("  (target: a size read, in one pass of buffered reads: at most the file and one buffer more)\n");
    return met ? 0 : 1;
}
