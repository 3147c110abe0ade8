#include "PictureDecoding.h"

#include <FreeImage.h>

#include <unistd.h>

#include <cstring>

#include "PictureData.h"
#include "PictureHeader.h"
#include "pdfwrite/PageForm.h"

namespace PictureDecoding {

using DecoderProtocol::ExitStatus;

namespace {

// Messages of the JPEG decoder that mean picture data is missing or broken; the rest (padding
// before a marker, an unknown JFIF revision, ...) leave a picture that decodes whole.
bool reportsLostData(const char* message) {
    static const char* const lost[] = {
        "Premature end of JPEG file", "premature end of data segment", "bad Huffman code",
        "bad arithmetic code", "instead of RST", "Corrupt JPEG data: found marker",
        "Inconsistent progression sequence",
    };
    for (const char* l : lost)
        if (message && std::strstr(message, l)) return true;
    return false;
}

int lostDataMessages = 0;

void onLibraryMessage(FREE_IMAGE_FORMAT, const char* message) {
    if (reportsLostData(message)) ++lostDataMessages;
}

// A decoder that asks for bytes beyond the end of its picture has been given a cut-off file:
// it would fill in what is missing and succeed.
[[noreturn]] void cutOff() { ::_exit(DecoderProtocol::kCutOff); }

// What a read past the end of the picture means for its format's reader. Most read what they
// need and no more: a read past the end is a cut-off file. libjpeg, OpenJPEG's codestream reader
// and the PICT reader (whose QuickTime JPEGs libjpeg reads) take their file in blocks and read
// again when they need more: only a read that starts at the end is one too many. OpenJPEG reads
// one box header too many at the end of every .jp2 file and refuses a cut codestream itself, and
// the data of the formats walked beforehand (PictureData) is known to be there.
DescriptorStream::PastEnd pastEnd(FREE_IMAGE_FORMAT fif) {
    using PastEnd = DescriptorStream::PastEnd;
    if (fif == FIF_JPEG || fif == FIF_J2K || fif == FIF_PICT) return PastEnd::EndsAtEnd;
    if (fif == FIF_JP2 || (fif != FIF_GIF && PictureData::Checks(fif))) return PastEnd::Short;
    return PastEnd::Ends;
}

}  // namespace

DecoderProtocol::Answer probe(DescriptorStream& picture, PictureSource& source, const std::string& extension) {
    DecoderProtocol::Answer answer;
    picture.watchEnd(source.size(), DescriptorStream::PastEnd::Short);
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileTypeFromHandle(DescriptorStream::io(), picture.handle(), 0);
    // Formats without a signature (WBMP, Photo CD, Dr. Halo, ...) are known by their extension.
    // So is a file that the camera-raw reader claims when nothing else does: it takes a file of
    // the length of some camera's raw data for that, whatever it holds (a Photo CD picture has
    // the length of one).
    const FREE_IMAGE_FORMAT named = FreeImage_GetFIFFromFilename(("picture." + extension).c_str());
    if (fif == FIF_UNKNOWN || (fif == FIF_RAW && named != FIF_UNKNOWN && FreeImage_FIFSupportsReading(named)))
        fif = named;
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return answer;
    answer.format = int(fif);
    const char* name = FreeImage_GetFormatFromFIF(fif);
    answer.formatName = name ? name : "?";
    if (PictureHeader::Reads(fif)) {
        answer.size = PictureHeader::Size(fif, source);
    } else if (FreeImage_FIFSupportsNoPixels(fif)) {
        if (picture.seek(0, SEEK_SET) != 0) return answer;
        FIBITMAP* header = FreeImage_LoadFromHandle(fif, DescriptorStream::io(), picture.handle(), FIF_LOAD_NOPIXELS);
        if (!header) return answer;
        if (!FreeImage_HasPixels(header)) {  // the plug-in did read the header alone
            answer.size.known = true;
            answer.size.width = FreeImage_GetWidth(header);
            answer.size.height = FreeImage_GetHeight(header);
        }
        FreeImage_Unload(header);
    } else {
        answer.size.knowable = false;
    }
    return answer;
}

ExitStatus decode(DescriptorStream& picture, PictureSource& source, DescriptorStream& bitmap, int format,
                  long long width, long long height) {
    const FREE_IMAGE_FORMAT fif = FREE_IMAGE_FORMAT(format);
    if (!FreeImage_FIFSupportsReading(fif)) return DecoderProtocol::kBadArguments;
    if (PictureData::Checks(fif)) {
        const PictureData::Extent extent = PictureData::Check(fif, source);
        if (extent != PictureData::Extent::Whole)
            return extent == PictureData::Extent::Short ? DecoderProtocol::kCutOff : DecoderProtocol::kUnreadable;
    }
    picture.watchEnd(source.size(), pastEnd(fif), cutOff);
    FreeImage_SetOutputMessage(onLibraryMessage);
    // JPEG pictures with the accurate inverse DCT: the library's default, the fast one, blurs
    // what the page keeps (about 11 dB less at full quality) and saves no time.
    FIBITMAP* dib = FreeImage_LoadFromHandle(fif, DescriptorStream::io(), picture.handle(),
                                           fif == FIF_JPEG ? JPEG_ACCURATE : 0);
    if (!dib) return DecoderProtocol::kUnreadable;
    if (fif == FIF_JPEG && lostDataMessages > 0) return DecoderProtocol::kUnreadable;
    FIBITMAP* page = pdfbox::pageForm(dib);
    if (!page) return DecoderProtocol::kUnreadable;
    if (FreeImage_GetWidth(page) != width || FreeImage_GetHeight(page) != height)
        return DecoderProtocol::kSizeDiffers;
    if (!FreeImage_SaveToHandle(FIF_BMP, page, DescriptorStream::io(), bitmap.handle(), 0) || !bitmap.flush())
        return DecoderProtocol::kNotWritten;
    return DecoderProtocol::kDone;
}

}  // namespace PictureDecoding
