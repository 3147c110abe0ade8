#include "Bstr.h"

#include <cstdlib>
#include <cstring>

namespace clipsight {

namespace {
// Header holding the byte length; placed so the text that follows is 8-byte aligned.
constexpr size_t kPrefix = 8;

uint32_t* LengthField(BSTR bstr) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(bstr) - sizeof(uint32_t));
}
}  // namespace

BSTR BstrAllocStringLen(const OLECHAR* text, uint32_t length) {
    if (length > kBstrMaxLength) return nullptr;
    size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    BSTR bstr = reinterpret_cast<BSTR>(block + kPrefix);
    *LengthField(bstr) = static_cast<uint32_t>(bytes);
    if (text)
        std::memcpy(bstr, text, bytes);
    else
        std::memset(bstr, 0, bytes);
    bstr[length] = u'\0';
    return bstr;
}

BSTR BstrAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    uint32_t length = 0;
    while (text[length] != u'\0') {
        if (length == kBstrMaxLength) return nullptr;
        ++length;
    }
    return BstrAllocStringLen(text, length);
}

uint32_t BstrStringLen(const OLECHAR* bstr) {
    if (!bstr) return 0;
    return *LengthField(const_cast<BSTR>(bstr)) / sizeof(OLECHAR);
}

void BstrFreeString(BSTR bstr) {
    if (!bstr) return;
    std::free(reinterpret_cast<char*>(bstr) - kPrefix);
}

}  // namespace clipsight
