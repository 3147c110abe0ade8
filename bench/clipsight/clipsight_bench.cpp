// Parses each file named on the command line with the media component's parser registry and
// prints, per file: result, duration, streams, parse time and bytes read from the file.
// Usage: clipsight_bench [--type N] [--quiet] FILE...
// Without --type the container code comes from the extension (.mkv 17, .ts/.m2ts 44,
// .mp4/.mov 10).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FileIo.h"
#include "ParserRegistry.h"
#include "StreamList.h"

using namespace clipsight;

namespace {

int TypeFromName(const std::string& path) {
    auto ends = [&](const char* ext) {
        const size_t n = std::strlen(ext);
        return path.size() >= n && path.compare(path.size() - n, n, ext) == 0;
    };
    if (ends(".mkv") || ends(".mka") || ends(".webm")) return 17;
    if (ends(".ts") || ends(".m2ts")) return 44;
    if (ends(".mp4") || ends(".mov") || ends(".m4a")) return 10;
    return 17;
}

void PrintGuid(const GUID& g) {
    std::printf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
}

}  // namespace

int main(int argc, char** argv) {
    int forcedType = -1;
    bool quiet = false;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
            forcedType = std::atoi(argv[++i]);
            continue;
        }
        if (std::strcmp(argv[i], "--quiet") == 0) {
            quiet = true;
            continue;
        }
        const std::string path = argv[i];
        const int type = forcedType >= 0 ? forcedType : TypeFromName(path);
        ParserRegistry registry;
        registry.AddDefaultParsers();
        StreamList* list = nullptr;
        const uint64_t readBefore = TotalBytesRead();
        const auto start = std::chrono::steady_clock::now();
        const int result = registry.ProbeAndParse(path.c_str(), type, &list);
        const auto stop = std::chrono::steady_clock::now();
        const uint64_t bytesRead = TotalBytesRead() - readBefore;
        const double micros = std::chrono::duration<double, std::micro>(stop - start).count();
        std::printf("%s type=%d result=%d parse_us=%.1f bytes_read=%llu", path.c_str(), type,
                    result, micros, static_cast<unsigned long long>(bytesRead));
        if (list != nullptr) {
            std::printf(" duration=%u streams=%u", list->durationSeconds, list->count);
        }
        std::printf("\n");
        if (list != nullptr && !quiet) {
            for (uint32_t s = 0; s < list->count; ++s) {
                const StreamRecord& r = *list->records[s];
                std::printf("  index=%d name=\"%s\" major=", r.index, r.name);
                PrintGuid(r.majorType);
                std::printf(" subtype=");
                PrintGuid(r.subtype);
                std::printf(" tag=0x%08X rate=%d size=%dx%d channels=%d\n", r.formatTag, r.rate,
                            r.width, r.height, r.channels);
            }
        }
        if (result < 0) status = 1;
        FreeStreamList(list);
    }
    return status;
}
