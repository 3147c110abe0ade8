// folipress-decoder: Folipress's picture decoder, one picture per start (DecoderProtocol.h).
// Whatever parses picture data runs here, never in Folipress itself: the image library's
// decoders were written for files that tell the truth, and on a misleading one they loop, take
// far more memory than the header said, or write past their buffers. Here that ends in the
// limits, the filter or the death of this process, which the caller sees and reports.
#include <FreeImage.h>

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "DecoderProtocol.h"
#include "DescriptorStream.h"
#include "Limits.h"
#include "PictureDecoding.h"
#include "PictureSource.h"
#include "Sandbox.h"

namespace {

using namespace DecoderProtocol;

bool number(const char* text, long long& value, long long lo, long long hi) {
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size() && value >= lo && value <= hi;
}

// Ends without running the libraries' exit code, which has nothing to do for one picture and
// may call on the system in ways the filter does not allow.
[[noreturn]] void end(int status) { ::_exit(status); }

}  // namespace

int main(int argc, char** argv) {
    const bool probe = argc == 4 && std::strcmp(argv[1], "probe") == 0;
    const bool decode = argc == 6 && std::strcmp(argv[1], "decode") == 0;
    long long parent = 0, format = 0, width = 0, height = 0;
    if ((!probe && !decode) || !number(argv[2], parent, 1, 1LL << 30)) return kBadArguments;
    if (decode && (!number(argv[3], format, 0, 1000) || !number(argv[4], width, 1, kMaxPicturePixels) ||
                   !number(argv[5], height, 1, kMaxPicturePixels) ||
                   PictureSize{true, true, width, height}.tooLarge()))
        return kBadArguments;
    if (!Limits::tieToParent(pid_t(parent))) return kNotConfined;

    struct stat picture {};
    if (::fstat(STDIN_FILENO, &picture) != 0 || !S_ISREG(picture.st_mode)) return kUnreadable;
    const bool limited = probe ? Limits::apply(probeMemory(std::uint64_t(picture.st_size)), kProbeSeconds, 0)
                               : Limits::apply(decodeMemory(width, height), decodeSeconds(width, height),
                                               bitmapBytes(width, height));
    if (!limited) return kNotConfined;

    FreeImage_Initialise(FALSE);
    DescriptorStream input(STDIN_FILENO), output(STDOUT_FILENO);
    PictureSource source(STDIN_FILENO);
    if (!Sandbox::confine(STDIN_FILENO, STDOUT_FILENO)) return kNotConfined;

    if (probe) {
        const std::string line = toLine(PictureDecoding::probe(input, source, argv[3]));
        end(output.write(line.data(), line.size()) && output.flush() ? kDone : kNotWritten);
    }
    // What the picture holds goes with the process: nothing is released.
    end(PictureDecoding::decode(input, source, output, int(format), width, height));
}
