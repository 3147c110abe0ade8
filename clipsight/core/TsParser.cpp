#include "TsParser.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "H264SpsDecoder.h"
#include "MpegSequenceHeaderDecoder.h"
#include "Vc1SequenceHeaderDecoder.h"

namespace clipsight {

namespace {
constexpr int kTsPacketBytes = 188;

constexpr uint32_t Tag(char a, char b, char c, char d) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(d));
}
constexpr uint32_t kCuei = Tag('C', 'U', 'E', 'I');
constexpr uint32_t kGa94 = Tag('G', 'A', '9', '4');
constexpr uint32_t kS14a = Tag('S', '1', '4', 'A');
constexpr uint32_t kScte = Tag('S', 'C', 'T', 'E');
constexpr uint32_t kDts1 = Tag('D', 'T', 'S', '1');
constexpr uint32_t kDts3 = Tag('D', 'T', 'S', '3');
constexpr uint32_t kHdmv = Tag('H', 'D', 'M', 'V');
constexpr uint32_t kVc1Reg = Tag('V', 'C', '-', '1');

bool IsAtscRegistration(uint32_t r) { return r == kCuei || r == kGa94 || r == kS14a || r == kScte; }

bool StartsWithStartCode(const uint8_t* p, const uint8_t* end) {
    return end - p >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1;
}

// A program's registration: only a registration descriptor (tag 5, length 4) that opens its
// descriptors counts.
uint32_t LeadingRegistration(const uint8_t* p, const uint8_t* end) {
    if (end - p >= 6 && p[0] == 5 && p[1] == 4) return static_cast<uint32_t>(TsParser::ReadBigEndian(p + 2, 4));
    return TsParser::kNoRegistration;
}

// A stream's registration: every registration descriptor (tag 5) in [p, end) sets it, so the
// last one stands; one too short to hold an identifier is passed over.
uint32_t LastRegistration(const uint8_t* p, const uint8_t* end) {
    uint32_t found = TsParser::kNoRegistration;
    while (end - p >= 2) {
        uint8_t tag = p[0];
        uint8_t length = p[1];
        if (end - p < 2 + length) break;
        if (tag == 5 && length >= 4) found = static_cast<uint32_t>(TsParser::ReadBigEndian(p + 2, 4));
        p += 2 + length;
    }
    return found;
}
}  // namespace

TsParser::Program::Program() { std::fill(std::begin(streamPids), std::end(streamPids), 0xFFFF); }

TsParser::TsParser() = default;
TsParser::~TsParser() = default;

int TsParser::Accepts(int containerType) { return containerType == 44 || containerType == 45 ? 1 : 0; }

uint64_t TsParser::ReadBigEndian(const uint8_t* bytes, int n) {
    if (n < 1 || n > 8) return 0;
    uint64_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | bytes[i];
    return value;
}

void TsParser::Reset() {
    packetSize = 188;
    firstSync = 0;
    for (Program& p : programs) p = Program();
    programCount = 0;
    for (PidRecord& r : pids) r = PidRecord();
    pidCount = 0;
    tailJumpEnabled = true;
    tracks.clear();
}

template <typename Visit>
TsParser::WalkEnd TsParser::WalkPackets(Visit visit, bool tailJump) {
    const int chunkBytes = packetSize * kPacketsPerChunk;
    uint8_t* buffer = packetBuffer_.data();
    for (;;) {
        const uint64_t chunkPos = reader_->Tell();
        int n = reader_->Read(buffer, chunkBytes, chunkBytes, true);
        const int packets = n > 0 ? n / packetSize : 0;
        const uint8_t* chunkEnd = buffer + n;
        for (int i = 0; i < packets; ++i) {
            const uint8_t* p = buffer + static_cast<ptrdiff_t>(i) * packetSize;
            if (p[0] != 0x47) continue;
            Packet packet;
            packet.start = p;
            packet.pid = ((p[1] & 0x1F) << 8) | p[2];
            packet.unitStart = (p[1] & 0x40) != 0;
            packet.end = p + kTsPacketBytes;
            packet.chunkEnd = chunkEnd;
            packet.payload = nullptr;
            int control = (p[3] >> 4) & 3;
            if (control == 1) {
                packet.payload = p + 4;
            } else if (control == 3 && 5 + p[4] < kTsPacketBytes) {
                packet.payload = p + 5 + p[4];
            }
            if (visit(packet)) {
                reader_->Seek(chunkPos + static_cast<uint64_t>(i + 1) * static_cast<uint64_t>(packetSize));
                return WalkEnd::kStopped;
            }
        }
        if (n < chunkBytes) return WalkEnd::kEndOfFile;
        // One jump per parse: a long file is read in its first and its last 16 MiB only.
        if (tailJump && tailJumpEnabled) {
            const uint64_t pos = reader_->Tell();
            const uint64_t size = reader_->Size();
            if (pos > kTailJumpThreshold && size > kTailLength && pos < size - kTailLength) {
                tailJumpEnabled = false;
                uint64_t target = size - kTailLength;
                // Keep the packet grid of the first sync byte (192-byte packets start 4 bytes in).
                if (target > firstSync)
                    target = firstSync + (target - firstSync) / static_cast<uint64_t>(packetSize) * packetSize;
                if (target > pos) reader_->Seek(target);
            }
        }
    }
}

bool TsParser::DetectSync() {
    uint8_t head[1880];
    int n = reader_->Read(head, sizeof head, sizeof head, true);
    // The first 0x47 from which two more follow at one spacing of 188 to 204 bytes; a stray
    // 0x47 (in a 192-byte packet's prefix, say) is passed over.
    for (int i = 0; i < n; ++i) {
        if (head[i] != 0x47) continue;
        for (int spacing = 188; spacing <= 204; ++spacing) {
            if (i + 2 * spacing >= n) break;
            if (head[i + spacing] == 0x47 && head[i + 2 * spacing] == 0x47) {
                packetSize = spacing;
                firstSync = static_cast<uint64_t>(i);
                reader_->Seek(firstSync);
                return true;
            }
        }
    }
    return false;
}

int TsParser::FindProgram(int pmtPid) const {
    for (int i = 0; i < programCount; ++i)
        if (programs[i].pmtPid == pmtPid) return i;
    return -1;
}

int TsParser::FindOrAddPid(int pid) {
    for (int i = 0; i < pidCount; ++i)
        if (pids[i].pid == pid) return i;
    if (pidCount >= kMaxPids) return -1;
    pids[pidCount] = PidRecord();
    pids[pidCount].pid = static_cast<uint16_t>(pid);
    return pidCount++;
}

void TsParser::NotePesStart(const Packet& packet) {
    if (!packet.unitStart || !packet.payload || !StartsWithStartCode(packet.payload, packet.end)) return;
    int index = FindOrAddPid(packet.pid);
    if (index < 0) return;
    pids[index].pesSeen = true;
    if (pids[index].streamId == 0xFF) pids[index].streamId = packet.payload[3];
}

bool TsParser::ReadPat() {
    bool failed = false;
    WalkEnd end = WalkPackets(
        [&](const Packet& packet) {
            if (packet.pid != 0) {
                NotePesStart(packet);
                return false;
            }
            // A section starts only where payload_unit_start_indicator says so.
            if (!packet.payload || !packet.unitStart) return false;
            const uint8_t* table = packet.payload + 1;  // the pointer field is taken as 0
            if (packet.end - table < 8 || table[0] != 0x00) return false;
            int sectionLength = ((table[1] & 0x0F) << 8) | table[2];
            int entries = sectionLength >= 9 ? (sectionLength - 9) / 4 : 0;
            const uint8_t* entry = table + 8;
            for (int k = 0; k < entries && packet.end - entry >= 4; ++k, entry += 4) {
                int programNumber = (entry[0] << 8) | entry[1];
                if (programNumber == 0) continue;
                programs[programCount].pmtPid = static_cast<uint16_t>(((entry[2] & 0x1F) << 8) | entry[3]);
                if (++programCount >= kMaxPrograms) {
                    failed = true;
                    break;
                }
            }
            return true;
        },
        false);
    return end == WalkEnd::kStopped && !failed;
}

bool TsParser::ReadPmt(int program, const Packet& packet) {
    Program& prog = programs[program];
    prog.pmtRead = true;
    const uint8_t* table = packet.payload + 1;
    const uint8_t* end = packet.end;
    if (end - table < 12) return true;
    int sectionLength = ((table[1] & 0x0F) << 8) | table[2];
    int programInfoLength = ((table[10] & 0x0F) << 8) | table[11];
    // The entries end where the CRC begins, and never beyond the packet.
    const uint8_t* sectionEnd = table + 3 + sectionLength - 4;
    if (sectionEnd < end) end = sectionEnd;
    const uint8_t* descriptors = table + 12;
    if (end - descriptors < programInfoLength) return true;
    uint32_t registration = LeadingRegistration(descriptors, descriptors + programInfoLength);
    if (registration != kNoRegistration) prog.registration = registration;
    const uint8_t* entry = descriptors + programInfoLength;
    while (end - entry >= 5) {
        uint8_t streamType = entry[0];
        int pid = ((entry[1] & 0x1F) << 8) | entry[2];
        int esInfoLength = ((entry[3] & 0x0F) << 8) | entry[4];
        const uint8_t* esInfo = entry + 5;
        if (end - esInfo < esInfoLength) break;
        int index = FindOrAddPid(pid);
        if (index >= 0) {
            PidRecord& record = pids[index];
            record.streamType = streamType;
            record.pmtPid = prog.pmtPid;
            uint32_t esRegistration = LastRegistration(esInfo, esInfo + esInfoLength);
            if (esRegistration != kNoRegistration) record.registration = esRegistration;
            prog.streamPids[prog.streamCount] = static_cast<uint16_t>(pid);
            if (++prog.streamCount >= kMaxStreamsPerProgram) return false;
        }
        entry = esInfo + esInfoLength;
    }
    return true;
}

bool TsParser::ReadPmts() {
    int read = 0;
    if (programCount == 0) return true;
    bool failed = false;
    WalkEnd end = WalkPackets(
        [&](const Packet& packet) {
            int program = -1;
            if (packet.unitStart && packet.payload) {
                for (int i = 0; i < programCount; ++i) {
                    if (programs[i].pmtPid == packet.pid && !programs[i].pmtRead) {
                        program = i;
                        break;
                    }
                }
            }
            // The first PMT of each program only: a repeated table would add its streams twice.
            if (program < 0 || packet.end - packet.payload < 2 || packet.payload[1] != 0x02) {
                if (FindProgram(packet.pid) < 0) NotePesStart(packet);
                return false;
            }
            if (!ReadPmt(program, packet)) {
                failed = true;
                return true;
            }
            return ++read == programCount;
        },
        false);
    return end == WalkEnd::kStopped && !failed;
}

uint32_t TsParser::ReadProgramRegistration(const PidRecord& record) const {
    if (record.registration != kNoRegistration) return record.registration;
    int program = FindProgram(record.pmtPid);
    return program >= 0 ? programs[program].registration : kNoRegistration;
}

void TsParser::ClassifyStream(PidRecord& record) {
    const uint8_t type = record.streamType;
    const uint32_t reg = ReadProgramRegistration(record);
    auto give = [&](uint8_t category, VideoHeaderDecoder* (*make)()) {
        record.category = category;
        if (make && !record.decoder) record.decoder.reset(make());
    };
    auto mpeg = []() -> VideoHeaderDecoder* { return new (std::nothrow) MpegSequenceHeaderDecoder(); };
    auto h264 = []() -> VideoHeaderDecoder* { return new (std::nothrow) H264SpsDecoder(); };
    auto vc1 = []() -> VideoHeaderDecoder* { return new (std::nothrow) Vc1SequenceHeaderDecoder(); };

    if (type == 0x00 || (type >= 0xF4 && type <= 0xF8)) return;
    if (type < 0x80) {
        switch (type) {
        case 0x01: give(kMpeg1Video, mpeg); break;
        case 0x02: give(kMpeg2Video, mpeg); break;
        case 0x03:
        case 0x04: give(kMpegAudio, nullptr); break;
        case 0x05:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D: give(kDropped, nullptr); break;
        case 0x0F: give(kAac, nullptr); break;
        case 0x10: give(kMpeg4Video, nullptr); break;
        case 0x1B: give(kH264, h264); break;
        default: break;
        }
        return;
    }
    if (IsAtscRegistration(reg)) {
        if (type == 0x81) give(kAc3Atsc, nullptr);
        else if (type == 0x82) give(kAtsc82, nullptr);
        else if (type == 0x87) give(kAtscAudio87, nullptr);
        return;
    }
    if (reg >= kDts1 && reg <= kDts3) {
        give(kDts, nullptr);
        return;
    }
    if (reg == kHdmv) {
        // Blu-ray types not listed here (0x82 DTS, 0x84 E-AC-3, ...) are settled by their PES.
        switch (type) {
        case 0x80: give(kLpcmHdmv, nullptr); break;
        case 0x81: give(kAc3Hdmv, nullptr); break;
        case 0x83: give(kHdmvAudio83, nullptr); break;
        case 0x86: give(kDtsHdmv, nullptr); break;
        case 0xEA: give(kVc1Hdmv, vc1); break;
        default: break;
        }
        return;
    }
    if (reg == kVc1Reg && type == 0xEA) {
        give(kVc1, vc1);
        return;
    }
    switch (type) {
    case 0x80:
    case 0x81:
    case 0xEA: break;
    case 0x87: give(kEac3, nullptr); break;
    case 0x88: give(kVc1, nullptr); break;
    case 0xD1: give(kVc1Hdmv, nullptr); break;
    default: give(kDropped, nullptr); break;
    }
}

void TsParser::SniffAudio(PidRecord& record, const uint8_t* payload, const uint8_t* end) {
    if (end - payload >= 2 && payload[0] == 0x0B && payload[1] == 0x77) {
        record.category = (end - payload >= 6 && payload[5] >= 0x80 && payload[5] <= 0x87) ? kEac3 : kAc3;
    } else if (end - payload >= 4 && ReadBigEndian(payload, 4) == 0x7FFE8001) {
        record.category = kDts;
    }
}

void TsParser::ParsePesHeader(PidRecord& record, const Packet& packet) {
    const uint8_t* pes = packet.payload;
    const uint8_t* end = packet.end;
    if (end - pes < 6) return;
    const uint8_t streamId = pes[3];
    switch (streamId) {
    case 0xBC:
    case 0xBE:
    case 0xBF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF8:
    case 0xFF:
        return;  // no flag bytes
    default:
        break;
    }
    if (end - pes < 9) return;
    if ((pes[6] & 0xC0) != 0x80) {
        record.category = kDropped;
        return;
    }
    const uint8_t flags = pes[7];
    const int headerLength = pes[8];
    const uint8_t* fields = pes + 9;
    const uint8_t* fieldsEnd = std::min(end, fields + headerLength);
    const uint8_t* payload = fields + headerLength;

    // Walk the optional fields to the stream_id_extension.
    int extension = -1;
    const uint8_t* f = fields;
    int ptsDts = (flags >> 6) & 3;
    f += ptsDts == 2 ? 5 : ptsDts == 3 ? 10 : 0;
    if (flags & 0x20) f += 6;  // ESCR
    if (flags & 0x10) f += 3;  // ES rate
    if (flags & 0x08) f += 1;  // trick mode
    if (flags & 0x04) f += 1;  // additional copy info
    if (flags & 0x02) f += 2;  // CRC
    if ((flags & 0x01) && fieldsEnd - f >= 1) {
        uint8_t ext = *f++;
        if (ext & 0x80) f += 16;  // private data
        if ((ext & 0x40) && fieldsEnd - f >= 1) f += 1 + *f;  // pack header
        if (ext & 0x20) f += 2;  // sequence counter
        if (ext & 0x10) f += 2;  // P-STD buffer
        if ((ext & 0x01) && fieldsEnd - f >= 2 && (f[1] & 0x80) == 0) extension = f[1] & 0x7F;
    }

    auto feed = [&]() {
        if (!record.decoder || record.decoder->IsComplete() || payload >= packet.chunkEnd) return;
        // packetSize bytes from the payload: a header cut by the packet's end goes on into the
        // bytes read after it.
        uint64_t length = std::min<uint64_t>(static_cast<uint64_t>(packetSize),
                                             static_cast<uint64_t>(packet.chunkEnd - payload));
        record.decoder->Decode(payload, length);
    };
    if (streamId >= 0xE0 && streamId <= 0xEF) {
        feed();
    } else if (streamId == 0xFD) {
        if (record.decoder) {
            feed();
        } else if (record.category == kUnknown && extension >= 0) {
            if ((extension >= 0x55 && extension <= 0x5F) || extension == 0x75)
                record.category = kVc1;
            else if (extension >= 0x60 && extension <= 0x6F)
                record.category = kVc1Hdmv;
            else if ((extension == 0x71 || extension == 0x72) && payload < end)
                SniffAudio(record, payload, end);
        }
    }
}

void TsParser::ProbePes(PidRecord& record, const Packet* packet) {
    const uint8_t id = record.streamId;
    if (id == 0xBD) {
        if (record.decoder) return;
        if (record.streamType == 0x80) {
            record.category = kLpcm;
        } else if (record.streamType == 0x86) {
            record.category = kDts;
        } else if (record.streamType == 0xEA) {
            record.category = kVc1;
            record.decoder.reset(new (std::nothrow) Vc1SequenceHeaderDecoder());
        } else if (packet && packet->end - packet->payload >= 9) {
            const uint8_t* payload = packet->payload + 9 + packet->payload[8];
            if (payload < packet->end) SniffAudio(record, payload, packet->end);
        }
    } else if (id >= 0xE0 && id <= 0xEF) {
        if (record.category != kUnknown && record.decoder && !record.decoder->IsComplete()) {
            if (packet) ParsePesHeader(record, *packet);
            return;
        }
        switch (record.streamType) {
        case 0x00:
        case 0x01:
        case 0x02:
        case 0x80:
            record.category = kMpeg1Video;
            if (!record.decoder) record.decoder.reset(new (std::nothrow) MpegSequenceHeaderDecoder());
            break;
        case 0x10: record.category = kMpeg4Video; break;
        case 0x1B: record.category = kH264; break;
        default: break;
        }
        if (!record.decoder) record.decoder.reset(new (std::nothrow) H264SpsDecoder());
    } else if (id == 0xFD) {
        if (packet) ParsePesHeader(record, *packet);
    }
}

bool TsParser::Settled(const PidRecord& record) {
    return record.category != kUnknown && (!record.decoder || record.decoder->IsComplete());
}

void TsParser::ScanPes(std::vector<int>& wanted) {
    enum State : uint8_t { kNotSeen, kSeen, kSettled };
    std::vector<State> state(wanted.size(), kNotSeen);
    for (size_t i = 0; i < wanted.size(); ++i)
        if (pids[wanted[i]].pesSeen) state[i] = kSeen;
    size_t settled = 0;
    WalkPackets(
        [&](const Packet& packet) {
            for (size_t i = 0; i < wanted.size(); ++i) {
                PidRecord& record = pids[wanted[i]];
                if (record.pid != packet.pid || state[i] == kSettled) continue;
                state[i] = kSeen;
                if (!packet.unitStart || !packet.payload || !StartsWithStartCode(packet.payload, packet.end)) break;
                if (record.category == kUnknown || (record.decoder && !record.decoder->IsComplete())) {
                    record.streamId = packet.payload[3];
                    ProbePes(record, &packet);
                }
                if (Settled(record)) {
                    state[i] = kSettled;
                    ++settled;
                }
                break;
            }
            return settled == wanted.size();
        },
        true);
    for (size_t i = 0; i < wanted.size(); ++i)
        if (state[i] == kNotSeen) RemoveStream(pids[wanted[i]].pid);
}

void TsParser::RemoveStream(int pid) {
    for (int p = 0; p < programCount; ++p) {
        Program& prog = programs[p];
        for (int s = 0; s < prog.streamCount; ++s) {
            if (prog.streamPids[s] != pid) continue;
            std::copy(prog.streamPids + s + 1, prog.streamPids + prog.streamCount, prog.streamPids + s);
            prog.streamPids[--prog.streamCount] = 0xFFFF;
            return;
        }
    }
}

bool TsParser::BuildDescriptions() {
    std::vector<int> wanted;
    for (int p = 0; p < programCount; ++p) {
        Program& prog = programs[p];
        for (int s = 0; s < prog.streamCount;) {
            int index = FindOrAddPid(prog.streamPids[s]);
            if (index < 0) {
                ++s;
                continue;
            }
            PidRecord& record = pids[index];
            ClassifyStream(record);
            if (!Settled(record) && record.streamId != 0xFF) ProbePes(record, nullptr);
            if (record.category == kDropped) {
                RemoveStream(record.pid);
                continue;  // the next stream moved into slot s
            }
            if (!Settled(record) && std::find(wanted.begin(), wanted.end(), index) == wanted.end())
                wanted.push_back(index);
            ++s;
        }
    }
    if (!wanted.empty()) ScanPes(wanted);

    uint8_t trackNumber = 0;
    for (int p = 0; p < programCount; ++p) {
        const Program& prog = programs[p];
        for (int s = 0; s < prog.streamCount; ++s) {
            int index = FindOrAddPid(prog.streamPids[s]);
            if (index < 0 || pids[index].category == kDropped) continue;
            const PidRecord& record = pids[index];
            StreamDescription description;
            description.trackUid = record.pid;
            description.trackNumber = ++trackNumber;
            description.trackType = static_cast<uint8_t>(record.category / 16);
            if (description.trackType == kTrackTypeVideo && record.decoder) {
                description.video.displayWidth = record.decoder->description.video.displayWidth;
                description.video.displayHeight = record.decoder->description.video.displayHeight;
            }
            tracks.push_back(description);
        }
    }
    return true;
}

int TsParser::Parse(FileHandle file, int, StreamList** out) {
    if (file == kInvalidFileHandle || out == nullptr) return kParseNoList;
    Reset();
    file_ = file;
    if (!reader_) reader_.reset(new (std::nothrow) FileReader());
    if (!reader_) return kParseNoList;
    reader_->Open(file, kReaderBufferSize);
    reader_->Seek(0);
    if (!DetectSync()) return kParseNoList;
    packetBuffer_.assign(static_cast<size_t>(packetSize) * kPacketsPerChunk, 0);
    if (!ReadPat() || !ReadPmts() || !BuildDescriptions()) return kParseNoList;
    if (tracks.empty()) return kParseNoList;

    const int count = static_cast<int>(tracks.size());
    if (*out == nullptr) *out = AllocateStreamList(count, kStreamRecordSize);
    if (*out == nullptr || static_cast<int>((*out)->count) < count) {
        tracks.clear();
        return kParseNoList;
    }
    StreamList* list = *out;
    list->count = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        const StreamDescription& d = tracks[static_cast<size_t>(i)];
        StreamRecord& r = *list->records[i];
        r.rate = -1;
        r.reserved = 0;
        r.index = static_cast<int32_t>(d.trackNumber) - 1;
        std::memset(r.name, 0, sizeof r.name);
        uint8_t category = kUnknown;
        for (int k = 0; k < pidCount; ++k)
            if (pids[k].pid == d.trackUid) category = pids[k].category;
        if (d.trackType == kTrackTypeVideo) {
            r.majorType = kMediaTypeVideo;
            r.width = static_cast<int32_t>(d.video.displayWidth);
            r.height = static_cast<int32_t>(d.video.displayHeight);
            switch (category) {
            case kMpeg1Video: r.subtype = kSubtypeMpeg1Video; SetRecordName(r, "MPEG1"); break;
            case kMpeg2Video: r.subtype = kSubtypeMpeg2Video; SetRecordName(r, "MPEG2"); break;
            case kH264: r.subtype = FourccToSubtype("avc1"); SetRecordName(r, "AVC1"); break;
            case kMpeg4Video: SetRecordName(r, "MPEG4"); break;
            case kVc1:
            case kVc1Hdmv: r.subtype = FourccToSubtype("wvc1"); SetRecordName(r, "VC_1"); break;
            default: break;
            }
        } else if (d.trackType == kTrackTypeAudio) {
            r.majorType = kMediaTypeAudio;
            switch (category) {
            case kMpegAudio: r.subtype = kSubtypeMpeg1Audio; SetRecordName(r, "mpeg1_audio"); break;
            case 33: r.subtype = kSubtypeMpeg2Audio; SetRecordName(r, "mpeg2_audio"); break;
            case kAc3:
            case kAc3Atsc:
            case kAc3Hdmv: r.subtype = kSubtypeAc3; SetRecordName(r, "AC3"); break;
            case kEac3:
                r.subtype = kSubtypeAc3;
                r.formatTag = kFormatTagEac3;
                SetRecordName(r, "EAC3");
                break;
            case kLpcm:
            case kLpcmHdmv: r.subtype = kSubtypePcm; SetRecordName(r, "PCM"); break;
            case kDts:
            case kDtsHdmv: r.subtype = kSubtypeDts; SetRecordName(r, "DTS"); break;
            case kAac: r.subtype = kSubtypeAac; SetRecordName(r, "AAC"); break;
            default: break;
            }
            r.channels = d.audio.channels;
            r.rate = static_cast<int32_t>(d.audio.samplingFrequency);
        }
    }
    tracks.clear();
    return kParseBuilt;
}

}  // namespace clipsight
