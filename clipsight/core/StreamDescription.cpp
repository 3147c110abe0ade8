#include "StreamDescription.h"

#include <cstring>

namespace clipsight {

StreamDescription::StreamDescription() { std::memset(&video, 0, sizeof(VideoDescription)); }

StreamDescription::~StreamDescription() = default;

void StartRecordFromDescription(StreamRecord& record, const StreamDescription& description) {
    record.rate = -1;
    record.reserved = 0;
    record.index = static_cast<int32_t>(description.trackNumber) - 1;
    char name[sizeof description.codecId + 1];
    std::memcpy(name, description.codecId, sizeof description.codecId);
    name[sizeof description.codecId] = '\0';
    SetRecordName(record, name);
}

}  // namespace clipsight
