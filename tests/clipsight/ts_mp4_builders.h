// Builders for hand-made MP4/QuickTime atoms and transport stream packets, and scratch files.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace csbuild {

using Bytes = std::vector<uint8_t>;

inline std::string DataPath(const char* name) { return std::string(CLIPSIGHT_TEST_DATA) + "/" + name; }

inline Bytes ReadAll(const std::string& path) {
    Bytes b;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    return b;
}

// A scratch folder removed with the object.
class ScratchDir {
public:
    ScratchDir() {
        char tmpl[] = "/tmp/clipsight-test-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        path_ = made ? made : "/tmp";
    }
    ~ScratchDir() {
        std::string cmd = "rm -rf '" + path_ + "'";
        if (path_ != "/tmp") (void)std::system(cmd.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::string p = path_ + "/" + name;
        FILE* f = std::fopen(p.c_str(), "wb");
        if (f) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return p;
    }

private:
    std::string path_;
};

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// ---- MP4 / QuickTime atoms ----------------------------------------------------------------

// An atom with its true size.
inline Bytes Atom(const char* type, const Bytes& payload = {}) {
    Bytes b;
    Put32(b, uint32_t(8 + payload.size()));
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}
// An atom whose size field says `size`, whatever it holds.
inline Bytes AtomWithSize(uint32_t size, const char* type, const Bytes& payload = {}) {
    Bytes b;
    Put32(b, size);
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}
inline Bytes Zeros(size_t n) { return Bytes(n, 0); }

// Version 0 movie header: 100 bytes of payload.
inline Bytes Mvhd(uint32_t timeScale, uint32_t duration) {
    Bytes p = Zeros(12);
    Put32(p, timeScale);
    Put32(p, duration);
    p.resize(100, 0);
    return Atom("mvhd", p);
}
// Version 0 track header: width and height (16.16) are its last 8 bytes.
inline Bytes Tkhd(uint32_t width, uint32_t height) {
    Bytes p = Zeros(76);
    Put32(p, width);
    Put32(p, height);
    return Atom("tkhd", p);
}
inline Bytes Stsd(std::initializer_list<const char*> formats) {
    Bytes p = Zeros(4);
    Put32(p, uint32_t(formats.size()));
    for (const char* f : formats) {
        Bytes entry = Zeros(8);  // reserved and data reference index
        Bytes e;
        Put32(e, uint32_t(8 + entry.size()));
        e.insert(e.end(), f, f + 4);
        e.insert(e.end(), entry.begin(), entry.end());
        p.insert(p.end(), e.begin(), e.end());
    }
    return Atom("stsd", p);
}
inline Bytes VideoTrak(uint32_t width, uint32_t height, const char* format) {
    return Atom("trak", Cat({Tkhd(width, height),
                             Atom("mdia", Atom("minf", Cat({Atom("vmhd", Zeros(12)),
                                                            Atom("stbl", Stsd({format}))})))}));
}
inline Bytes SoundTrak(const char* format) {
    return Atom("trak", Cat({Tkhd(0, 0), Atom("mdia", Atom("minf", Cat({Atom("smhd", Zeros(8)),
                                                                        Atom("stbl", Stsd({format}))})))}));
}
inline Bytes Ftyp() { return Atom("ftyp", Cat({Text("isom"), Zeros(4), Text("isomavc1")})); }
inline Bytes Mdat(size_t n) { return Atom("mdat", Bytes(n, 0xAB)); }

// The movie header deflated: moov / cmov / dcom / cmvd with the declared size given.
inline Bytes CompressedMoov(const Bytes& moov, const char* method = "zlib", int64_t declared = -1) {
    uLongf bound = compressBound(moov.size());
    Bytes packed(bound);
    compress2(packed.data(), &bound, moov.data(), moov.size(), 9);
    packed.resize(bound);
    Bytes cmvd;
    Put32(cmvd, declared < 0 ? uint32_t(moov.size()) : uint32_t(declared));
    cmvd.insert(cmvd.end(), packed.begin(), packed.end());
    return Atom("moov", Atom("cmov", Cat({Atom("dcom", Text(method)), Atom("cmvd", cmvd)})));
}

// ---- Transport stream packets --------------------------------------------------------------

inline uint32_t MpegCrc32(const uint8_t* p, size_t n) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint32_t(p[i]) << 24;
        for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
    }
    return crc;
}

struct EsEntry {
    uint8_t streamType;
    int pid;
    Bytes descriptors;
};

inline Bytes Registration(const char* fourcc) { return Cat({Bytes{0x05, 0x04}, Text(fourcc)}); }

class TsWriter {
public:
    explicit TsWriter(int packetSize = 188) : packetSize_(packetSize) {}

    // One packet; the payload (at most 184 bytes) is padded with adaptation-field stuffing.
    void Packet(int pid, bool unitStart, const Bytes& payload) {
        Bytes p;
        if (packetSize_ == 192) Put32(p, prefix_++);
        size_t start = p.size();
        p.push_back(0x47);
        p.push_back(uint8_t((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F)));
        p.push_back(uint8_t(pid));
        uint8_t& cc = cc_[pid];
        size_t room = 184;
        size_t n = payload.size() < room ? payload.size() : room;
        if (n == room) {
            p.push_back(uint8_t(0x10 | (cc & 0x0F)));
        } else {
            p.push_back(uint8_t(0x30 | (cc & 0x0F)));
            size_t adaptation = room - n - 1;  // the length byte itself takes one
            p.push_back(uint8_t(adaptation));
            if (adaptation > 0) {
                p.push_back(0x00);
                for (size_t i = 1; i < adaptation; ++i) p.push_back(0xFF);
            }
        }
        cc = uint8_t(cc + 1);
        p.insert(p.end(), payload.begin(), payload.begin() + long(n));
        (void)start;
        if (packetSize_ == 204) p.resize(p.size() + 16, 0x00);
        out.insert(out.end(), p.begin(), p.end());
    }
    void Section(int pid, const Bytes& section) {
        Bytes payload{0x00};  // pointer field
        payload.insert(payload.end(), section.begin(), section.end());
        Packet(pid, true, payload);
    }
    void Pat(std::initializer_list<std::pair<int, int>> programs) {
        Bytes body;
        Put16(body, 1);  // transport stream id
        body.push_back(0xC1);
        body.push_back(0);
        body.push_back(0);
        for (auto [number, pmtPid] : programs) {
            Put16(body, uint32_t(number));
            Put16(body, uint32_t(0xE000 | pmtPid));
        }
        Section(0, Finish(0x00, body));
    }
    void Pmt(int pmtPid, int programNumber, const Bytes& programDescriptors, const std::vector<EsEntry>& streams) {
        Bytes body;
        Put16(body, uint32_t(programNumber));
        body.push_back(0xC1);
        body.push_back(0);
        body.push_back(0);
        Put16(body, 0xE000 | 0x1FFF);  // no PCR PID
        Put16(body, uint32_t(0xF000 | programDescriptors.size()));
        body.insert(body.end(), programDescriptors.begin(), programDescriptors.end());
        for (const EsEntry& e : streams) {
            body.push_back(e.streamType);
            Put16(body, uint32_t(0xE000 | e.pid));
            Put16(body, uint32_t(0xF000 | e.descriptors.size()));
            body.insert(body.end(), e.descriptors.begin(), e.descriptors.end());
        }
        Section(pmtPid, Finish(0x02, body));
    }
    // A PES packet with a PTS (and extra header fields, when given) carrying `data`.
    void Pes(int pid, uint8_t streamId, const Bytes& data, const Bytes& extraFields = {}, uint8_t flags2 = 0x80) {
        Bytes pes{0x00, 0x00, 0x01, streamId, 0x00, 0x00, 0x80, flags2};
        Bytes fields{0x21, 0x00, 0x01, 0x00, 0x01};  // PTS
        fields.insert(fields.end(), extraFields.begin(), extraFields.end());
        pes.push_back(uint8_t(fields.size()));
        pes.insert(pes.end(), fields.begin(), fields.end());
        pes.insert(pes.end(), data.begin(), data.end());
        size_t pos = 0;
        bool first = true;
        while (pos < pes.size() || first) {
            size_t n = pes.size() - pos < 184 ? pes.size() - pos : 184;
            Packet(pid, first, Bytes(pes.begin() + long(pos), pes.begin() + long(pos + n)));
            pos += n;
            first = false;
        }
    }
    void Null(int count = 1) {
        for (int i = 0; i < count; ++i) Packet(0x1FFF, false, Bytes(184, 0xFF));
    }
    Bytes out;

private:
    static Bytes Finish(uint8_t tableId, const Bytes& body) {
        Bytes s{tableId};
        Put16(s, uint32_t(0xB000 | (body.size() + 4)));
        s.insert(s.end(), body.begin(), body.end());
        Put32(s, MpegCrc32(s.data(), s.size()));
        return s;
    }
    int packetSize_;
    uint32_t prefix_ = 0x00001000;
    std::map<int, uint8_t> cc_;
};

// ---- Elementary stream headers -------------------------------------------------------------

class BitWriter {
public:
    void Bits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) Bit((value >> i) & 1);
    }
    void Bit(uint32_t b) {
        if (bit_ == 0) bytes.push_back(0);
        if (b) bytes.back() |= uint8_t(0x80 >> bit_);
        bit_ = (bit_ + 1) & 7;
    }
    void Ue(uint32_t v) {
        uint32_t x = v + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        Bits(0, len);
        Bits(x, len + 1);
    }
    Bytes bytes;

private:
    int bit_ = 0;
};

// An H.264 baseline SPS after a 4-byte start code: 1920x1080 (68 macroblock rows, 4 rows cropped).
inline Bytes H264Sps1080() {
    BitWriter w;
    w.Ue(0);    // seq_parameter_set_id
    w.Ue(0);    // log2_max_frame_num_minus4
    w.Ue(2);    // pic_order_cnt_type
    w.Ue(1);    // max_num_ref_frames
    w.Bit(0);   // gaps
    w.Ue(119);  // pic_width_in_mbs_minus1
    w.Ue(67);   // pic_height_in_map_units_minus1
    w.Bit(1);   // frame_mbs_only_flag
    w.Bit(1);   // direct_8x8_inference_flag
    w.Bit(1);   // frame_cropping_flag
    w.Ue(0);
    w.Ue(0);
    w.Ue(0);
    w.Ue(4);
    w.Bit(0);  // vui
    w.Bit(1);  // stop bit
    Bytes b{0x00, 0x00, 0x00, 0x01, 0x09, 0xF0, 0x00, 0x00, 0x00, 0x01, 0x67, 66, 0xC0, 40};
    b.insert(b.end(), w.bytes.begin(), w.bytes.end());
    return b;
}

// A VC-1 advanced-profile sequence header and entry point giving 1920x1080.
inline Bytes Vc1Advanced1080() {
    BitWriter w;
    w.Bits(3, 2);    // profile
    w.Bits(3, 3);    // level
    w.Bits(1, 2);    // colordiff_format
    w.Bits(0, 3);    // frmrtq_postproc
    w.Bits(0, 5);    // bitrtq_postproc
    w.Bit(0);        // postprocflag
    w.Bits(959, 12); // max_coded_width
    w.Bits(539, 12); // max_coded_height
    w.Bits(0, 4);    // pulldown, interlace, tfcntrflag, finterpflag
    w.Bit(1);        // reserved
    w.Bit(0);        // psf
    w.Bit(0);        // display_ext
    w.Bit(0);        // hrd_param_flag
    w.Bit(1);        // trailing marker
    BitWriter e;
    e.Bits(0, 7);    // broken_link .. extended_mv (extended_mv 0)
    e.Bits(0, 2);    // dquant
    e.Bits(0, 2);    // vstransform, overlap
    e.Bits(0, 2);    // quantizer
    e.Bit(1);        // coded_size_flag
    e.Bits(959, 12);
    e.Bits(539, 12);
    e.Bit(0);        // range_mapy_flag
    e.Bit(0);        // range_mapuv_flag
    e.Bit(1);
    Bytes b{0x00, 0x00, 0x01, 0x0F};
    b.insert(b.end(), w.bytes.begin(), w.bytes.end());
    b.insert(b.end(), {0x00, 0x00, 0x01, 0x0E});
    b.insert(b.end(), e.bytes.begin(), e.bytes.end());
    return b;
}

inline Bytes Ac3Frame(uint8_t sixthByte) {
    Bytes b{0x0B, 0x77, 0x12, 0x34, 0x14, sixthByte};
    b.resize(64, 0x00);
    return b;
}
inline Bytes DtsFrame() {
    Bytes b{0x7F, 0xFE, 0x80, 0x01};
    b.resize(64, 0x00);
    return b;
}

}  // namespace csbuild
