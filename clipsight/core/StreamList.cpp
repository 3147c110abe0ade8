#include "StreamList.h"

#include <cstdlib>
#include <cstring>

namespace clipsight {

size_t StreamListBytes(int count) {
    size_t slots = count > 2 ? static_cast<size_t>(count) : 2;
    return offsetof(StreamList, records) + slots * sizeof(StreamRecord*);
}

StreamList* AllocateStreamList(int count, int recordSize) {
    if (count < 0 || count > kMaxStreamRecords) return nullptr;
    if (recordSize < static_cast<int>(sizeof(StreamRecord))) return nullptr;
    const size_t bytes = StreamListBytes(count);
    auto* list = static_cast<StreamList*>(std::calloc(1, bytes));
    if (list == nullptr) return nullptr;
    list->totalBytes = static_cast<uint32_t>(bytes);
    list->count = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        auto* record = static_cast<StreamRecord*>(std::calloc(1, static_cast<size_t>(recordSize)));
        if (record == nullptr) {
            // All or nothing: a list with a missing record is no use to anyone.
            list->count = static_cast<uint32_t>(i);
            FreeStreamList(list);
            return nullptr;
        }
        record->size = static_cast<uint32_t>(recordSize);
        list->records[i] = record;
    }
    return list;
}

void FreeStreamList(StreamList* list) {
    if (list == nullptr) return;
    for (uint32_t i = 0; i < list->count; ++i) std::free(list->records[i]);
    std::free(list);
}

void SetRecordName(StreamRecord& record, const char* text) {
    std::memset(record.name, 0, sizeof record.name);
    if (text == nullptr) return;
    size_t n = ::strnlen(text, sizeof record.name - 1);
    std::memcpy(record.name, text, n);
}

}  // namespace clipsight
