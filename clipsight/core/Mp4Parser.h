// The registry's parser for MP4/QuickTime files: the atom walker over the open file.
#pragma once

#include "AtomWalker.h"

namespace clipsight {

class Mp4Parser : public AtomWalker {
public:
    int Accepts(int containerType) override;
    int Parse(FileHandle file, int containerType, StreamList** out) override;

    bool Skip(int64_t n) override;
    bool Read(void* dst, uint32_t n) override;

private:
    FileHandle file_ = kInvalidFileHandle;
};

}  // namespace clipsight
