// Video elementary-stream header decoders: H.264 SPS, MPEG-1/2 sequence header, VC-1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileIo.h"
#include "H264SpsDecoder.h"
#include "MpegSequenceHeaderDecoder.h"
#include "Vc1SequenceHeaderDecoder.h"

using namespace clipsight;

namespace {

using Bytes = std::vector<uint8_t>;

// MSB-first bit writer with Exp-Golomb codes.
class DecoderBitWriter {
public:
    DecoderBitWriter& u(int n, uint64_t v) {
        for (int i = n - 1; i >= 0; --i) bit(int((v >> i) & 1));
        return *this;
    }
    DecoderBitWriter& ue(uint32_t v) {
        const uint64_t x = uint64_t(v) + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        u(len, 0);
        return u(len + 1, x);
    }
    DecoderBitWriter& se(int32_t v) { return ue(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * int64_t(v))); }
    DecoderBitWriter& bytes(const Bytes& b) {
        for (uint8_t x : b) u(8, x);
        return *this;
    }
    // Pads with a stop bit and zeros to a byte boundary.
    Bytes done() {
        Bytes out = data_;
        if (bits_ % 8 != 0) {
            out.back() |= uint8_t(0x80 >> (bits_ % 8));
        } else {
            out.push_back(0x80);
        }
        return out;
    }
    Bytes raw() const { return data_; }

private:
    void bit(int b) {
        if (bits_ % 8 == 0) data_.push_back(0);
        if (b) data_.back() |= uint8_t(0x80 >> (bits_ % 8));
        ++bits_;
    }
    Bytes data_;
    size_t bits_ = 0;
};

Bytes CatBytes(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes ReadFixture(const char* name) {
    const std::string path = std::string(CLIPSIGHT_TEST_DATA) + "/" + name;
    FileHandle h = OpenFileForReading(path.c_str());
    EXPECT_NE(h, kInvalidFileHandle) << path;
    Bytes b(GetFileSize(h));
    EXPECT_EQ(ReadFile(h, b.data(), b.size()), int64_t(b.size()));
    CloseFile(h);
    return b;
}

struct SpsFields {
    uint8_t profile = 100;
    uint32_t chromaFormat = 1;
    bool scalingMatrix = false;
    uint32_t pocType = 0;
    uint32_t widthMbsMinus1 = 119;
    uint32_t heightUnitsMinus1 = 67;
    bool frameMbsOnly = true;
    bool crop = true;
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 4;
};

// An SPS NAL unit with a 4-byte start code.
Bytes MakeSps(const SpsFields& f) {
    DecoderBitWriter w;
    w.u(32, 1).u(8, 0x67).u(8, f.profile).u(8, 0).u(8, 40).ue(0);
    const bool high = f.profile == 100 || f.profile == 110 || f.profile == 122 || f.profile == 144 ||
                      f.profile == 244 || f.profile == 44;
    if (high) {
        w.ue(f.chromaFormat);
        if (f.chromaFormat == 3) w.u(1, 0);
        w.ue(0).ue(0).u(1, 0).u(1, f.scalingMatrix ? 1 : 0);
        if (f.scalingMatrix) {
            const int lists = f.chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists; ++i) {
                const bool present = i == 0 || i == 6;
                w.u(1, present ? 1 : 0);
                if (present) {
                    const int size = i < 6 ? 16 : 64;
                    for (int j = 0; j < size; ++j) w.se(j == 0 ? 8 : (j % 3) - 1);
                }
            }
        }
    }
    w.ue(0).ue(f.pocType);
    if (f.pocType == 0) w.ue(2);
    if (f.pocType == 1) {
        w.u(1, 0).se(-3).se(5).ue(3).se(1).se(-2).se(7);
    }
    w.ue(4).u(1, 0).ue(f.widthMbsMinus1).ue(f.heightUnitsMinus1).u(1, f.frameMbsOnly ? 1 : 0);
    if (!f.frameMbsOnly) w.u(1, 1);
    w.u(1, 1).u(1, f.crop ? 1 : 0);
    if (f.crop) w.ue(f.cropLeft).ue(f.cropRight).ue(f.cropTop).ue(f.cropBottom);
    w.u(1, 0);  // vui_parameters_present_flag
    return w.done();
}

std::pair<uint32_t, uint32_t> DecodeSps(const Bytes& b, uint32_t* count = nullptr) {
    H264SpsDecoder d;
    d.Decode(b.data(), b.size());
    if (count != nullptr) *count = d.decodedCount;
    if (!d.IsComplete()) return {0, 0};
    return {d.description.video.displayWidth, d.description.video.displayHeight};
}

using Size = std::pair<uint32_t, uint32_t>;

// ---- H.264 ------------------------------------------------------------------------------------

TEST(DecoderH264Test, FrameAndFieldCoding1080) {
    SpsFields f;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(1920, 1080));
    f.frameMbsOnly = false;
    f.heightUnitsMinus1 = 33;
    f.cropBottom = 2;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(1920, 1080));
}

TEST(DecoderH264Test, BaselineHasNoChromaFieldsAndCropsInChromaUnits) {
    SpsFields f;
    f.profile = 66;
    f.widthMbsMinus1 = 19;
    f.heightUnitsMinus1 = 11;
    f.cropLeft = 1;
    f.cropRight = 2;
    f.cropTop = 1;
    f.cropBottom = 3;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(320 - 6, 192 - 8));
    f.crop = false;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(320, 192));
}

TEST(DecoderH264Test, CropUnitsFollowTheChromaFormat) {
    SpsFields f;
    f.widthMbsMinus1 = 9;
    f.heightUnitsMinus1 = 9;
    f.cropLeft = f.cropRight = f.cropTop = f.cropBottom = 1;
    f.chromaFormat = 0;  // monochrome: units of 1
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(158, 158));
    f.chromaFormat = 2;  // 4:2:2: 2 across, 1 down
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(156, 158));
    f.chromaFormat = 3;  // 4:4:4 (with its separate-colour-plane flag)
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(158, 158));
    f.profile = 244;  // High 4:4:4 Predictive carries the same fields
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(158, 158));
}

TEST(DecoderH264Test, ScalingListsAndPicOrderCycleArePassed) {
    SpsFields f;
    f.scalingMatrix = true;
    f.pocType = 1;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(1920, 1080));
    f.chromaFormat = 3;  // twelve list flags
    f.cropBottom = 8;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(1920, 1080));
    f.pocType = 2;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(1920, 1080));
}

TEST(DecoderH264Test, FfmpegStreams) {
    EXPECT_EQ(DecodeSps(ReadFixture("es-h264-320x180.h264")), Size(320, 180));
    EXPECT_EQ(DecodeSps(ReadFixture("es-h264-interlaced-352x288.h264")), Size(352, 288));
    EXPECT_EQ(DecodeSps(ReadFixture("es-h264-444-176x100.h264")), Size(176, 100));
    EXPECT_EQ(DecodeSps(ReadFixture("es-h264-10bit-200x120.h264")), Size(200, 120));
}

TEST(DecoderH264Test, SearchNeedsAFourByteStartCode) {
    const Bytes sps = MakeSps(SpsFields{});
    // 3-byte start code only.
    EXPECT_EQ(DecodeSps(Bytes(sps.begin() + 1, sps.end())), Size(0, 0));
    // Other NAL units and garbage before it.
    const Bytes aud = {0, 0, 0, 1, 0x09, 0xF0};
    EXPECT_EQ(DecodeSps(CatBytes({Bytes{0x11, 0, 0, 0x22}, aud, sps})), Size(1920, 1080));
    // An SPS whose nal header byte has other high bits still has type 7.
    Bytes other = sps;
    other[4] = 0x27;
    EXPECT_EQ(DecodeSps(other), Size(1920, 1080));
    EXPECT_EQ(DecodeSps(Bytes{}), Size(0, 0));
    H264SpsDecoder d;
    EXPECT_EQ(d.Decode(nullptr, 100), 0u);
}

TEST(DecoderH264Test, CutOffHeaderIsNotDecoded) {
    const Bytes sps = MakeSps(SpsFields{});
    // Without the crop offsets (the last bytes) it cannot be read; with them it can.
    for (size_t n = 0; n + 2 < sps.size(); ++n) {
        uint32_t count = 99;
        EXPECT_EQ(DecodeSps(Bytes(sps.begin(), sps.begin() + long(n)), &count), Size(0, 0)) << n;
        EXPECT_EQ(count, 0u);
    }
}

TEST(DecoderH264Test, ImpossibleSizesAreNotDecoded) {
    SpsFields f;
    f.widthMbsMinus1 = 0;
    f.cropLeft = 20;  // crops more than the picture
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(0, 0));
    f = SpsFields{};
    f.chromaFormat = 7;
    EXPECT_EQ(DecodeSps(MakeSps(f)), Size(0, 0));
}

TEST(DecoderH264Test, SecondHeaderMakesItIncomplete) {
    const Bytes sps = MakeSps(SpsFields{});
    H264SpsDecoder d;
    EXPECT_EQ(d.requiredCount, 1u);
    EXPECT_FALSE(d.IsComplete());
    EXPECT_EQ(d.Decode(sps.data(), sps.size()), 1u);
    EXPECT_TRUE(d.IsComplete());
    EXPECT_EQ(d.Decode(sps.data(), sps.size()), 2u);
    EXPECT_FALSE(d.IsComplete());
}

TEST(DecoderBitsTest, ExpGolombCodes) {
    DecoderBitWriter w;
    w.ue(0).ue(1).ue(2).ue(254).ue(65535).se(-3).u(3, 5);
    const Bytes b = w.done();
    VideoHeaderDecoder::BitCursor c;
    c.data = b.data();
    c.length = b.size();
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(c), 0u);
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(c), 1u);
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(c), 2u);
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(c), 254u);
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(c), 65535u);
    EXPECT_EQ(VideoHeaderDecoder::ReadSe(c), -3);
    EXPECT_EQ(VideoHeaderDecoder::ReadBits(c, 3), 5u);
    EXPECT_FALSE(c.overrun);
    // A run of zeros longer than the current byte and six more gives 0.
    const Bytes zeros(9, 0);
    VideoHeaderDecoder::BitCursor z;
    z.data = zeros.data();
    z.length = zeros.size();
    EXPECT_EQ(VideoHeaderDecoder::ReadUe(z), 0u);
    // Past the end: zero bits and the overrun mark.
    VideoHeaderDecoder::BitCursor e;
    e.data = zeros.data();
    e.length = 1;
    EXPECT_EQ(VideoHeaderDecoder::ReadBits(e, 12), 0u);
    EXPECT_TRUE(e.overrun);
}

// ---- MPEG-1/2 ------------------------------------------------------------------------------------

Size DecodeMpeg(const Bytes& b) {
    MpegSequenceHeaderDecoder d;
    d.Decode(b.data(), b.size());
    if (!d.IsComplete()) return {0, 0};
    return {d.description.video.displayWidth, d.description.video.displayHeight};
}

TEST(DecoderMpegTest, SequenceHeaderSizes) {
    EXPECT_EQ(DecodeMpeg({0, 0, 1, 0xB3, 0x2D, 0x02, 0x40}), Size(720, 576));
    // MPEG-1 352x240 after other bytes, followed by the rest of the header.
    EXPECT_EQ(DecodeMpeg({0xAA, 0, 0, 0, 1, 0xB3, 0x16, 0x00, 0xF0, 0x13, 0xFF, 0xFF}), Size(352, 240));
    // MPEG-2 with a sequence extension: the 12-bit values only.
    EXPECT_EQ(DecodeMpeg({0, 0, 1, 0xB3, 0x78, 0x04, 0x38, 0x33, 0, 0, 1, 0xB5, 0x14, 0x8A, 0, 1, 0, 0}),
              Size(1920, 1080));
    EXPECT_EQ(DecodeMpeg(ReadFixture("es-mpeg2-720x576.m2v")), Size(720, 576));
    EXPECT_EQ(DecodeMpeg(ReadFixture("es-mpeg1-352x240.m1v")), Size(352, 240));
}

TEST(DecoderMpegTest, MissingOrCutOffHeader) {
    EXPECT_EQ(DecodeMpeg({0, 0, 1, 0xB3, 0x2D, 0x02}), Size(0, 0));  // size cut off
    EXPECT_EQ(DecodeMpeg({0, 0, 1, 0xB5, 0x2D, 0x02, 0x40}), Size(0, 0));
    EXPECT_EQ(DecodeMpeg({}), Size(0, 0));
    MpegSequenceHeaderDecoder d;
    EXPECT_EQ(d.Decode(nullptr, 7), 0u);
    EXPECT_EQ(d.decodedCount, 0u);
}

// ---- VC-1 --------------------------------------------------------------------------------------

struct Vc1Advanced {
    uint32_t colordiff = 1;
    bool reservedOne = true;
    bool psf = false;
    bool displayExt = false;
    uint32_t colorPrim = 1, transfer = 1, matrix = 1;
    int buckets = -1;  // -1: no HRD parameters
    bool entryPoint = true;
    bool codedSize = true;
    uint32_t codedWidth = 959, codedHeight = 539;
    bool extendedMv = true;
};

Bytes MakeVc1(const Vc1Advanced& v) {
    DecoderBitWriter w;
    w.u(32, 0x10F).u(2, 3).u(3, 4).u(2, v.colordiff).u(3, 7).u(5, 31).u(1, 0);
    w.u(12, 959).u(12, 539).u(1, 0).u(1, 1).u(1, 0).u(1, 0).u(1, v.reservedOne).u(1, v.psf);
    w.u(1, v.displayExt);
    if (v.displayExt) {
        w.u(14, 1919).u(14, 1079);
        w.u(1, 1).u(4, 15).u(8, 16).u(8, 9);  // aspect ratio 15 with its explicit size
        w.u(1, 1).u(1, 0).u(8, 2).u(4, 2);   // frame rate nr/dr
        w.u(1, 1).u(8, v.colorPrim).u(8, v.transfer).u(8, v.matrix);
    }
    w.u(1, v.buckets >= 0);
    if (v.buckets >= 0) {
        w.u(5, uint32_t(v.buckets)).u(4, 3).u(4, 5);
        for (int i = 0; i < v.buckets; ++i) w.u(16, 1000 + i).u(16, 2000 + i);
    }
    Bytes seq = w.done();
    if (!v.entryPoint) return seq;
    DecoderBitWriter e;
    e.u(32, 0x10E).u(1, 0).u(1, 1).u(1, 0).u(1, 0).u(1, 1).u(1, 1).u(1, v.extendedMv);
    e.u(2, 0).u(1, 1).u(1, 0).u(2, 1);
    for (int i = 0; i < v.buckets; ++i) e.u(8, 0x55);
    e.u(1, v.codedSize);
    if (v.codedSize) e.u(12, v.codedWidth).u(12, v.codedHeight);
    if (v.extendedMv) e.u(1, 1);
    e.u(1, 1).u(3, 5).u(1, 0);
    return CatBytes({seq, e.done()});
}

struct Vc1Result {
    uint32_t count;
    Size size;
    int hrdFlag;
    int buckets;
};

Vc1Result DecodeVc1(const Bytes& b) {
    Vc1SequenceHeaderDecoder d;
    d.Decode(b.data(), b.size());
    return {d.decodedCount, {d.description.video.displayWidth, d.description.video.displayHeight},
            d.hrdParamFlag, d.hrdBucketCount};
}

TEST(DecoderVc1Test, AdvancedProfileSizeFromTheEntryPoint) {
    Vc1Advanced v;
    Vc1Result r = DecodeVc1(MakeVc1(v));
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.size, Size(1920, 1080));
    v.displayExt = true;
    v.buckets = 3;
    v.extendedMv = false;
    r = DecodeVc1(MakeVc1(v));
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.size, Size(1920, 1080));
    EXPECT_EQ(r.hrdFlag, 1);
    EXPECT_EQ(r.buckets, 3);
    v.codedWidth = 639;
    v.codedHeight = 359;
    EXPECT_EQ(DecodeVc1(MakeVc1(v)).size, Size(1280, 720));
}

TEST(DecoderVc1Test, EntryPointWithoutCodedSizeCompletesWithoutSize) {
    Vc1Advanced v;
    v.codedSize = false;
    const Vc1Result r = DecodeVc1(MakeVc1(v));
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.size, Size(0, 0));
}

TEST(DecoderVc1Test, FailedTestsDecodeNothing) {
    auto count = [](Vc1Advanced v) { return DecodeVc1(MakeVc1(v)).count; };
    Vc1Advanced v;
    v.colordiff = 2;
    EXPECT_EQ(count(v), 0u);
    v = Vc1Advanced{};
    v.reservedOne = false;
    EXPECT_EQ(count(v), 0u);
    v = Vc1Advanced{};
    v.psf = true;
    EXPECT_EQ(count(v), 0u);
    v = Vc1Advanced{};
    v.displayExt = true;
    for (uint32_t prim : {0u, 3u, 8u}) {
        v.colorPrim = prim;
        EXPECT_EQ(count(v), 0u) << prim;
    }
    v.colorPrim = 7;
    EXPECT_EQ(count(v), 1u);
    v.transfer = 3;
    EXPECT_EQ(count(v), 0u);
    v.transfer = 7;
    v.matrix = 3;
    EXPECT_EQ(count(v), 0u);
    v.matrix = 6;
    EXPECT_EQ(count(v), 1u);
}

TEST(DecoderVc1Test, StartAndEntryPointRequired) {
    const Bytes good = MakeVc1(Vc1Advanced{});
    EXPECT_EQ(DecodeVc1(CatBytes({Bytes{0}, good})).count, 0u);  // any byte before the start code
    Vc1Advanced noEntry;
    noEntry.entryPoint = false;
    EXPECT_EQ(DecodeVc1(MakeVc1(noEntry)).count, 0u);
    // Entry point after other data is found; a cut-off one is not decoded.
    const Bytes seqOnly = MakeVc1(noEntry);
    const Bytes entry(good.begin() + long(seqOnly.size()), good.end());
    EXPECT_EQ(DecodeVc1(CatBytes({seqOnly, Bytes{0x12, 0x34, 0, 0}, entry})).size, Size(1920, 1080));
    for (size_t n = 0; n < good.size() - 1; ++n) {
        EXPECT_EQ(DecodeVc1(Bytes(good.begin(), good.begin() + long(n))).count, 0u) << n;
    }
    Vc1SequenceHeaderDecoder d;
    EXPECT_EQ(d.Decode(nullptr, 10), 0u);
}

Bytes MakeVc1Simple(uint32_t profile, uint32_t loopfilter, uint32_t fastuvmc, uint32_t extendedMv,
                    uint32_t reserved0 = 0, uint32_t reserved1 = 1) {
    DecoderBitWriter w;
    w.u(32, 0x10F).u(2, profile).u(2, 0).u(3, 2).u(5, 4).u(1, loopfilter).u(1, reserved0).u(1, 0);
    w.u(1, reserved1).u(1, fastuvmc).u(1, extendedMv).u(2, 0).u(1, 1).u(1, 0).u(1, 0).u(1, 1);
    w.u(1, 0).u(3, 1).u(2, 0).u(1, 0).u(1, 1);
    return w.raw();
}

TEST(DecoderVc1Test, SimpleAndMainProfilesCompleteWithoutSize) {
    Vc1Result r = DecodeVc1(MakeVc1Simple(0, 0, 1, 0));
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.size, Size(0, 0));
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(1, 1, 0, 1)).count, 1u);  // main allows these
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(2, 1, 1, 1)).count, 1u);
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(0, 1, 1, 0)).count, 0u);  // loopfilter in simple
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(0, 0, 0, 0)).count, 0u);  // fastuvmc clear in simple
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(0, 0, 1, 1)).count, 0u);  // extended_mv in simple
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(1, 0, 1, 0, 1)).count, 0u);
    EXPECT_EQ(DecodeVc1(MakeVc1Simple(1, 0, 1, 0, 0, 0)).count, 0u);
    const Bytes ok = MakeVc1Simple(1, 0, 1, 0);
    EXPECT_EQ(DecodeVc1(Bytes(ok.begin(), ok.end() - 1)).count, 0u);  // cut off
}

}  // namespace

// The fuzzing regression corpora, replayed here too (without the sanitizers).
#include <filesystem>

namespace {

template <typename Decoder>
int ReplayDecoderCorpus(const char* name) {
    const std::filesystem::path dir = std::filesystem::path(CLIPSIGHT_TEST_DATA) / "corpus" / name;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        FileHandle h = OpenFileForReading(entry.path().c_str());
        Bytes b(GetFileSize(h));
        ReadFile(h, b.data(), b.size());
        CloseFile(h);
        Decoder d;
        d.Decode(b.data(), b.size());
        EXPECT_LE(d.decodedCount, 1u) << entry.path();
        ++files;
    }
    return files;
}

TEST(DecoderCorpusTest, RegressionCorporaDecodeCleanly) {
    EXPECT_GT(ReplayDecoderCorpus<H264SpsDecoder>("h264"), 0);
    EXPECT_GT(ReplayDecoderCorpus<MpegSequenceHeaderDecoder>("mpeg"), 0);
    EXPECT_GT(ReplayDecoderCorpus<Vc1SequenceHeaderDecoder>("vc1"), 0);
}

}  // namespace
