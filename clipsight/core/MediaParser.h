// The container parser base and the null parser.
#pragma once

#include "FileIo.h"
#include "StreamList.h"

namespace clipsight {

// Parse results.
inline constexpr int kParseBuilt = 1;      // a list was built
inline constexpr int kParseNoList = 0;     // recognised by code, but no list was built
inline constexpr int kParseDeclined = -1;  // declined (or the parse failed unexpectedly)

class MediaParser {
public:
    virtual ~MediaParser();
    // Nonzero when this parser handles the host's container-type code.
    virtual int Accepts(int containerType) = 0;
    // Reads the open file from its start; on success stores a new list in *out (the caller
    // passes a pointer to NULL). Returns kParseBuilt, kParseNoList or kParseDeclined.
    // The handle belongs to the caller and is never closed here.
    virtual int Parse(FileHandle file, int containerType, StreamList** out) = 0;
};

// Accepts nothing and declines every file.
class NullParser : public MediaParser {
public:
    int Accepts(int containerType) override;
    int Parse(FileHandle file, int containerType, StreamList** out) override;
};

}  // namespace clipsight
