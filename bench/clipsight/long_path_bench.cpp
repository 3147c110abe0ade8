// Time of Open on a drive path of many components ("Z:\a\a\...", 40,000 parts by default):
// the path mapping alone, and Open through the control object as a host calls it.
// Target: each under 10 ms. Prints the median and the slowest of the runs; exits 1 when the
// slowest is over the target.
// Usage: clipsight_long_path_bench [--parts N] [--repeat N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Bstr.h"
#include "Control.h"
#include "ControlPath.h"

using namespace clipsight;

namespace {

constexpr double kTargetMs = 10.0;

// Median and slowest time of `runs` calls, in milliseconds.
std::pair<double, double> Measure(int runs, const std::function<void()>& call) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        call();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
    int parts = 40000;
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--parts") == 0 && i + 1 < argc) {
            parts = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--parts N] [--repeat N]\n", argv[0]);
            return 2;
        }
    }
    if (parts < 1 || repeat < 1) {
        std::fprintf(stderr, "--parts and --repeat take positive numbers\n");
        return 2;
    }
    std::string ansi = "Z:";
    for (int i = 0; i < parts; ++i) ansi += "\\a";
    const std::u16string wide(ansi.begin(), ansi.end());
    BSTR path = BstrAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    void* object = nullptr;
    if (path == nullptr || CreateControlComponent(&CLSID_ClipsightControl, &object) != S_OK) {
        std::fprintf(stderr, "cannot set up the control object\n");
        return 2;
    }
    auto* control = static_cast<CKRClipsightControl*>(object);

    const auto mapping = Measure(repeat, [&] {
        std::string host;
        HostPathFromAnsiPath(ansi.c_str(), &host);
    });
    const auto open = Measure(repeat, [&] {
        MediaFileInfo* info = nullptr;
        if (control->ops->Open(control, path, 17, &info) == S_OK && info != nullptr) info->ops->Release(info);
    });
    std::printf("Z: path of %d parts (%zu characters), %d runs, target under %.0f ms\n", parts, ansi.size(),
                repeat, kTargetMs);
    std::printf("  path mapping: median %.3f ms, slowest %.3f ms\n", mapping.first, mapping.second);
    std::printf("  Open:         median %.3f ms, slowest %.3f ms\n", open.first, open.second);
    control->ops->Release(control);
    BstrFreeString(path);
    const bool over = mapping.second >= kTargetMs || open.second >= kTargetMs;
    std::printf("%s\n", over ? "OVER the target" : "within the target");
    return over ? 1 : 0;
}
