// Container parser for MPEG transport streams (188-, 192- and 204-byte packets): program
// tables, stream classification, and a bounded look into the PES packets where the tables do
// not settle a stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FileReader.h"
#include "MediaParser.h"
#include "StreamDescription.h"
#include "VideoHeaderDecoder.h"

namespace clipsight {

class TsParser : public NullParser {
public:
    static constexpr int kReaderBufferSize = 37600;  // 200 packets of 188 bytes
    static constexpr int kPacketsPerChunk = 200;
    static constexpr int kMaxPrograms = 16;
    static constexpr int kMaxStreamsPerProgram = 32;
    static constexpr int kMaxPids = 32;
    static constexpr uint64_t kTailJumpThreshold = 0x1000000;  // 16 MiB
    static constexpr uint64_t kTailLength = 0x1000000;
    static constexpr uint32_t kNoRegistration = 0xFFFFFFFF;

    // Stream categories; the high nibble is the track type (1 video, 2 audio).
    enum Category : uint8_t {
        kUnknown = 0,
        kMpeg1Video = 16,
        kMpeg2Video = 17,
        kH264 = 19,
        kMpeg4Video = 20,
        kVc1 = 21,
        kVc1Hdmv = 22,
        kMpegAudio = 32,
        kAc3 = 34,
        kAc3Atsc = 35,
        kEac3 = 36,
        kAtscAudio87 = 37,
        kLpcm = 38,
        kDts = 39,
        kAc3Hdmv = 40,
        kLpcmHdmv = 41,
        kHdmvAudio83 = 42,
        kDtsHdmv = 43,
        kAac = 44,
        kAtsc82 = 192,
        kDropped = 255,
    };

    struct Program {
        uint16_t pmtPid = 0xFFFF;
        uint16_t streamPids[kMaxStreamsPerProgram];
        uint32_t registration = kNoRegistration;
        int32_t streamCount = 0;
        bool pmtRead = false;
        Program();
    };

    struct PidRecord {
        uint16_t pid = 0;
        uint8_t streamType = 0xFF;
        uint8_t streamId = 0xFF;
        uint8_t category = kUnknown;
        uint16_t pmtPid = 0xFFFF;
        uint32_t registration = kNoRegistration;
        bool pesSeen = false;
        std::unique_ptr<VideoHeaderDecoder> decoder;
    };

    TsParser();
    ~TsParser() override;

    int Accepts(int containerType) override;  // 1 for 44 and 45
    // 1 when a list was built, 0 otherwise; never -1.
    int Parse(FileHandle file, int containerType, StreamList** out) override;

    // What the last Parse found (for tests and tools).
    int packetSize = 188;
    uint64_t firstSync = 0;
    Program programs[kMaxPrograms];
    int programCount = 0;
    PidRecord pids[kMaxPids];
    int pidCount = 0;
    bool tailJumpEnabled = true;
    StreamDescriptionList tracks;
    // Bytes this parser's reader took from the file.
    uint64_t BytesRead() const { return reader_ ? reader_->BytesFromFile() : 0; }

    static uint64_t ReadBigEndian(const uint8_t* bytes, int n);

private:
    // One packet of a chunk: `end` is the end of its 188 transport bytes, `chunkEnd` the end of
    // the bytes read with it.
    struct Packet {
        const uint8_t* start;
        int pid;
        bool unitStart;
        const uint8_t* payload;  // NULL when the packet has none
        const uint8_t* end;
        const uint8_t* chunkEnd;
    };
    enum class WalkEnd { kStopped, kEndOfFile };

    template <typename Visit>
    WalkEnd WalkPackets(Visit visit, bool tailJump);
    void Reset();

    bool DetectSync();
    bool ReadPat();
    bool ReadPmts();
    bool ReadPmt(int program, const Packet& packet);
    int FindProgram(int pmtPid) const;
    int FindOrAddPid(int pid);
    void NotePesStart(const Packet& packet);
    void ClassifyStream(PidRecord& record);
    uint32_t ReadProgramRegistration(const PidRecord& record) const;
    void ProbePes(PidRecord& record, const Packet* packet);
    void ParsePesHeader(PidRecord& record, const Packet& packet);
    void SniffAudio(PidRecord& record, const uint8_t* payload, const uint8_t* end);
    void ScanPes(std::vector<int>& wanted);
    void RemoveStream(int pid);
    bool BuildDescriptions();
    static bool Settled(const PidRecord& record);

    std::unique_ptr<FileReader> reader_;
    std::vector<uint8_t> packetBuffer_;
    FileHandle file_ = kInvalidFileHandle;
};

}  // namespace clipsight
