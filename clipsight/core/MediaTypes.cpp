#include "MediaTypes.h"

#include <cstring>

namespace clipsight {

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

GUID FourccToSubtype(const char* name) {
    if (name == nullptr || std::strlen(name) != 4) return kSubtypeUnknownFourcc;
    // C-locale upper-casing, independent of the process locale.
    auto upper = [](char c) -> char { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    return FourccGuid(MakeFourcc(upper(name[0]), upper(name[1]), upper(name[2]), upper(name[3])));
}

}  // namespace clipsight
