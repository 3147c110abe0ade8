#include "BstrCodePage.h"

#include "win/LocaleCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace clipsight {

namespace {
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts a run of input; calls onBad(in, left) when a unit cannot be converted so the caller can
// write a replacement and step over it (returns the number of input bytes to skip).
template <typename OnBad>
bool Convert(const Converter& conv, const char* in, size_t inLen, std::string* out, OnBad onBad) {
    out->clear();
    char* src = const_cast<char*>(in);
    size_t left = inLen;
    char buffer[16384];  // iconv costs per call: a small buffer makes long paths slow
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof(buffer);
        size_t r = iconv(conv.get(), &src, &left, &dst, &room);
        out->append(buffer, static_cast<size_t>(dst - buffer));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: an unconvertible or cut unit.
        size_t skip = onBad(src, left, out);
        if (skip == 0 || skip > left) skip = left;
        src += skip;
        left -= skip;
        iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t room = sizeof(buffer);
    iconv(conv.get(), nullptr, nullptr, &dst, &room);
    out->append(buffer, static_cast<size_t>(dst - buffer));
    return true;
}
}  // namespace

std::string AnsiCodePageName() {
    const std::string number = win::ansiCodePageSetting();
    if (number.empty()) return std::getenv("LUMIDOC_ACP");  // an iconv name
    if (number == "65001") return "UTF-8";
    if (number == "20127") return "ASCII";
    return "CP" + number;
}

bool WideToAnsi(const char16_t* text, size_t length, std::string* out, bool* lost) {
    out->clear();
    if (lost) *lost = false;
    if (length == 0) return true;
    Converter conv(AnsiCodePageName().c_str(), "UTF-16LE");
    if (!conv.ok()) return false;
    std::string in;
    in.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        in.push_back(static_cast<char>(text[i] & 0xFF));
        in.push_back(static_cast<char>(text[i] >> 8));
    }
    bool replaced = false;
    Convert(conv, in.data(), in.size(), out, [&replaced](const char* at, size_t left, std::string* o) -> size_t {
        replaced = true;
        o->push_back('?');
        if (left >= 4) {
            unsigned hi = static_cast<unsigned char>(at[0]) | (static_cast<unsigned char>(at[1]) << 8);
            unsigned lo = static_cast<unsigned char>(at[2]) | (static_cast<unsigned char>(at[3]) << 8);
            if (hi >= 0xD800 && hi < 0xDC00 && lo >= 0xDC00 && lo < 0xE000) return 4;  // one character, one '?'
        }
        return 2;
    });
    if (lost) {
        // A character the code page maps one way only comes back as another one.
        std::u16string back;
        *lost = replaced || !AnsiToWide(out->data(), out->size(), &back) ||
                back.compare(0, std::u16string::npos, text, length) != 0;
    }
    return true;
}

bool AnsiToWide(const char* text, size_t length, std::u16string* out) {
    out->clear();
    if (length == 0) return true;
    Converter conv("UTF-16LE", AnsiCodePageName().c_str());
    if (!conv.ok()) return false;
    std::string bytes;
    Convert(conv, text, length, &bytes, [](const char* at, size_t, std::string* o) -> size_t {
        o->push_back(*at);
        o->push_back('\0');
        return 1;
    });
    out->reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return true;
}

bool AnsiToUtf8(const char* text, size_t length, std::string* out) {
    std::u16string wide;
    if (!AnsiToWide(text, length, &wide)) return false;
    out->clear();
    if (wide.empty()) return true;
    Converter conv("UTF-8", "UTF-16LE");
    if (!conv.ok()) return false;
    return Convert(conv, reinterpret_cast<const char*>(wide.data()), wide.size() * 2, out,
                   [](const char*, size_t left, std::string* o) -> size_t {
                       o->append("\xEF\xBF\xBD");  // lone surrogate
                       return left >= 2 ? 2 : left;
                   });
}

}  // namespace clipsight
