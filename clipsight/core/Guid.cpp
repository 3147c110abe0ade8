#include "Guid.h"

#include <cstdio>

namespace clipsight {

bool IsZeroGuid(const GUID& g) {
    static const GUID zero{};
    return g == zero;
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ReadHex(const char*& p, int digits, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int h = HexValue(p[i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint64_t>(h);
    }
    p += digits;
    *value = v;
    return true;
}
}  // namespace

bool ParseGuid(const char* text, GUID* out) {
    if (!text || !out) return false;
    const char* p = text;
    bool braced = (*p == '{');
    if (braced) ++p;
    uint64_t v = 0;
    GUID g{};
    if (!ReadHex(p, 8, &v) || *p++ != '-') return false;
    g.Data1 = static_cast<uint32_t>(v);
    if (!ReadHex(p, 4, &v) || *p++ != '-') return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ReadHex(p, 4, &v) || *p++ != '-') return false;
    g.Data3 = static_cast<uint16_t>(v);
    for (int i = 0; i < 2; ++i) {
        if (!ReadHex(p, 2, &v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    if (*p++ != '-') return false;
    for (int i = 2; i < 8; ++i) {
        if (!ReadHex(p, 2, &v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    if (braced && *p++ != '}') return false;
    if (*p != '\0') return false;
    *out = g;
    return true;
}

void FormatGuid(const GUID& g, char out[39]) {
    std::snprintf(out, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

}  // namespace clipsight
