#include "Mp4Parser.h"

#include <cstring>

namespace clipsight {

int Mp4Parser::Accepts(int containerType) {
    switch (containerType) {
    case 10:
    case 11:
    case 12:
    case 31:
    case 32:
        return 1;
    default:
        return 0;
    }
}

bool Mp4Parser::Skip(int64_t n) {
    int64_t target = static_cast<int64_t>(position_) + n;
    if (target < 0 || static_cast<uint64_t>(target) > sourceSize_ || !SeekFileRelative(file_, n)) {
        EndWalk();
        return false;
    }
    position_ = static_cast<uint64_t>(target);
    return true;
}

bool Mp4Parser::Read(void* dst, uint32_t n) {
    int64_t got = n <= sourceSize_ - position_ ? ReadFile(file_, dst, n) : -1;
    if (got > 0) position_ += static_cast<uint64_t>(got);
    if (got != static_cast<int64_t>(n)) {
        EndWalk();
        return false;
    }
    return true;
}

int Mp4Parser::Parse(FileHandle file, int, StreamList** out) {
    if (file == kInvalidFileHandle || out == nullptr) return kParseNoList;
    file_ = file;
    sourceSize_ = GetFileSize(file);
    position_ = 0;
    SeekFile(file, 0);
    WalkTopLevel();
    if (faulted) return kParseDeclined;  // a zero time scale: given up like a fault

    StreamList* list = AllocateStreamList(static_cast<int>(tracks.size()), kStreamRecordSize);
    if (list == nullptr) return kParseNoList;
    *out = list;
    list->durationSeconds = duration;
    list->count = static_cast<uint32_t>(tracks.size());
    for (size_t j = 0; j < tracks.size(); ++j) {
        StreamRecord* record = list->records[j];
        record->index = static_cast<int32_t>(j);
        std::memcpy(record->name, tracks[j].format, 4);
        record->width = static_cast<int32_t>(tracks[j].width);
        record->height = static_cast<int32_t>(tracks[j].height);
    }
    return kParseBuilt;
}

}  // namespace clipsight
