// GUIDs of media types and subtypes, and the four-character-code helpers.
#pragma once

#include <cstdint>

namespace clipsight {

// A 16-byte GUID with the platform's field layout.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// Four characters packed with the first one in the low byte ('avc1' -> 0x31637661).
constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// The FOURCC-based GUID {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID FourccGuid(uint32_t fourcc) {
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// Major types.
inline constexpr GUID kMediaTypeVideo = FourccGuid(0x73646976);  // 'vids'
inline constexpr GUID kMediaTypeAudio = FourccGuid(0x73647561);  // 'auds'
inline constexpr GUID kMediaTypeSubtitle = {
    0xE487EB08, 0x6B26, 0x4BE9, {0x9D, 0xD3, 0x99, 0x34, 0x34, 0xD3, 0x13, 0xFD}};

// Subtypes the parsers use.
inline constexpr GUID kSubtypeUnknownFourcc = {
    0xE436EB8E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kSubtypeMpeg1Video = {
    0xE436EB86, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kSubtypeMpeg1Audio = {
    0xE436EB87, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kSubtypeMpeg2Video = {
    0xE06D8026, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
inline constexpr GUID kSubtypeMpeg2Audio = {
    0xE06D802B, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
inline constexpr GUID kSubtypeAc3 = {
    0xE06D802C, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
inline constexpr GUID kSubtypeDts = {
    0xE06D8033, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
inline constexpr GUID kSubtypeAac = FourccGuid(0x000000FF);
inline constexpr GUID kSubtypePcm = FourccGuid(0x00000001);

// Format tag 'EAC3' (bytes 'E','A','C','3').
inline constexpr uint32_t kFormatTagEac3 = MakeFourcc('E', 'A', 'C', '3');

// A codec name of exactly four characters gives the FOURCC GUID of those characters
// upper-cased ("avc1" -> 'AVC1'); any other length gives kSubtypeUnknownFourcc.
// NULL counts as an empty name.
GUID FourccToSubtype(const char* name);

}  // namespace clipsight
