#include "H264SpsDecoder.h"

namespace clipsight {

namespace {

// Profiles whose SPS carries the chroma format, bit depths and scaling matrices.
bool HasChromaFormatFields(uint32_t profile) {
    switch (profile) {
        case 100: case 110: case 122: case 144: case 244: case 44:
        case 83: case 86: case 118: case 128: case 138: case 139: case 134: case 135:
            return true;
        default:
            return false;
    }
}

// Passes one scaling list of `size` entries.
void SkipScalingList(VideoHeaderDecoder::BitCursor& c, int size) {
    int lastScale = 8;
    int nextScale = 8;
    for (int j = 0; j < size && !c.overrun; ++j) {
        if (nextScale != 0) {
            const int64_t delta = VideoHeaderDecoder::ReadSe(c);
            nextScale = static_cast<int>(((lastScale + delta) % 256 + 256) % 256);
        }
        lastScale = nextScale == 0 ? lastScale : nextScale;
    }
}

}  // namespace

uint32_t H264SpsDecoder::Decode(const uint8_t* buffer, uint64_t length) {
    if (buffer == nullptr) return 0;
    // Find an SPS NAL unit after a 4-byte start code.
    uint64_t nal = length;
    for (uint64_t i = 0; i + 4 <= length;) {
        if (buffer[i] == 0 && buffer[i + 1] == 0 && buffer[i + 2] == 0 && buffer[i + 3] == 1) {
            if (i + 4 >= length) break;
            if ((buffer[i + 4] & 0x1F) == 7) {
                nal = i + 4;
                break;
            }
            i += 5;
        } else {
            ++i;
        }
    }
    if (nal + 3 >= length) return 0;

    const uint32_t profile = buffer[nal + 1];
    BitCursor c;
    c.data = buffer;
    c.length = length;
    c.byte = nal + 3;  // after profile_idc and the constraint flags
    ReadBits(c, 8);    // level_idc
    ReadUe(c);         // seq_parameter_set_id

    uint32_t chromaFormat = 1;
    if (HasChromaFormatFields(profile)) {
        chromaFormat = ReadUe(c);
        if (chromaFormat == 3) ReadBits(c, 1);  // separate_colour_plane_flag
        ReadUe(c);                              // bit_depth_luma_minus8
        ReadUe(c);                              // bit_depth_chroma_minus8
        ReadBits(c, 1);                         // qpprime_y_zero_transform_bypass_flag
        if (ReadBits(c, 1) != 0) {              // seq_scaling_matrix_present_flag
            const int lists = chromaFormat != 3 ? 8 : 12;
            for (int i = 0; i < lists && !c.overrun; ++i) {
                if (ReadBits(c, 1) != 0) SkipScalingList(c, i < 6 ? 16 : 64);
            }
        }
    }
    if (chromaFormat > 3) return 0;

    ReadUe(c);  // log2_max_frame_num_minus4
    const uint32_t pocType = ReadUe(c);
    if (pocType == 0) {
        ReadUe(c);  // log2_max_pic_order_cnt_lsb_minus4
    } else if (pocType == 1) {
        ReadBits(c, 1);  // delta_pic_order_always_zero_flag
        ReadSe(c);       // offset_for_non_ref_pic
        ReadSe(c);       // offset_for_top_to_bottom_field
        const uint32_t cycle = ReadUe(c);
        for (uint32_t i = 0; i < cycle && !c.overrun; ++i) ReadSe(c);
    }
    ReadUe(c);       // max_num_ref_frames
    ReadBits(c, 1);  // gaps_in_frame_num_value_allowed_flag
    const uint64_t widthMbs = uint64_t(ReadUe(c)) + 1;
    const uint64_t heightMapUnits = uint64_t(ReadUe(c)) + 1;
    const uint64_t frameMbsOnly = ReadBits(c, 1);
    if (frameMbsOnly == 0) ReadBits(c, 1);  // mb_adaptive_frame_field_flag
    ReadBits(c, 1);                         // direct_8x8_inference_flag
    uint64_t left = 0, right = 0, top = 0, bottom = 0;
    if (ReadBits(c, 1) != 0) {
        left = ReadUe(c);
        right = ReadUe(c);
        top = ReadUe(c);
        bottom = ReadUe(c);
    }
    if (c.overrun) return 0;  // the header was cut off by the buffer's end

    static constexpr int64_t kSubWidth[4] = {1, 2, 2, 1};
    static constexpr int64_t kSubHeight[4] = {1, 2, 1, 1};
    const int64_t fieldFactor = 2 - static_cast<int64_t>(frameMbsOnly);
    const int64_t width =
        static_cast<int64_t>(widthMbs * 16) - kSubWidth[chromaFormat] * static_cast<int64_t>(left + right);
    const int64_t height = static_cast<int64_t>(heightMapUnits) * fieldFactor * 16 -
                           kSubHeight[chromaFormat] * fieldFactor * static_cast<int64_t>(top + bottom);
    // Crops larger than the picture, or sizes no stream can have, mean a damaged header.
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return 0;
    return Store(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

}  // namespace clipsight
