// The parse result: a stream list holding one fixed-size record per stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "MediaTypes.h"

namespace clipsight {

// One stream. A block of `size` bytes, zeroed when allocated.
struct StreamRecord {
    uint32_t size;      // record size in bytes: 96
    uint32_t reserved;  // always 0
    int32_t index;      // 0-based stream index
    GUID majorType;     // kMediaTypeVideo / Audio / Subtitle, zero when unknown
    GUID subtype;       // codec subtype, zero when unknown
    uint32_t formatTag; // FOURCC (first character in the low byte), 0 when none
    int32_t rate;       // -1 unknown; audio: Hz; video: whole frames per second
    int32_t width;      // pixels, 0 when none
    int32_t height;     // pixels, 0 when none
    int32_t channels;   // audio channels, 0 when none
    char name[32];      // codec name, at most 31 characters, always NUL-terminated
};
static_assert(sizeof(StreamRecord) == 96, "a stream record is 96 bytes");
inline constexpr int kStreamRecordSize = 96;

// One heap block: the header and `count` record pointers. totalBytes is the block's size
// with native pointers: the header plus room for max(count, 2) pointers.
struct StreamList {
    uint32_t totalBytes;
    uint32_t count;
    uint32_t durationSeconds;  // whole seconds, 0 when none was found
    StreamRecord* records[];   // `count` records in stream order
};

// Upper bound on the records of one list; larger requests fail.
inline constexpr int kMaxStreamRecords = 4096;

// The size of a list block for `count` records.
size_t StreamListBytes(int count);

// Allocates a zeroed list with `count` zeroed records of `recordSize` bytes (each starting
// with its size). NULL when memory runs out (nothing is then left allocated), when count is
// negative or above kMaxStreamRecords, or when recordSize is below sizeof(StreamRecord).
StreamList* AllocateStreamList(int count, int recordSize);

// Frees the records and the block; ignores NULL.
void FreeStreamList(StreamList* list);

// Copies at most 31 characters of `text` into the record's name, NUL-terminated
// (NULL gives an empty name).
void SetRecordName(StreamRecord& record, const char* text);

}  // namespace clipsight
