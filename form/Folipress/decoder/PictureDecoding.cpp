#include "PictureDecoding.h"

#include <FreeImage.h>

#include <cstring>

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

}  // namespace

DecoderProtocol::Answer probe(DescriptorStream& picture, PictureSource& source, const std::string& extension) {
    DecoderProtocol::Answer answer;
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileTypeFromHandle(DescriptorStream::io(), picture.handle(), 0);
    if (fif == FIF_UNKNOWN && FreeImage_GetFIFFromFilename(("picture." + extension).c_str()) == FIF_WBMP)
        fif = FIF_WBMP;
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return answer;
    answer.format = int(fif);
    const char* name = FreeImage_GetFormatFromFIF(fif);
    answer.formatName = name ? name : "?";
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        if (picture.seek(0, SEEK_SET) != 0) return answer;
        FIBITMAP* header = FreeImage_LoadFromHandle(fif, DescriptorStream::io(), picture.handle(), FIF_LOAD_NOPIXELS);
        if (!header) return answer;
        if (!FreeImage_HasPixels(header)) {  // the plug-in did read the header alone
            answer.size.known = true;
            answer.size.width = FreeImage_GetWidth(header);
            answer.size.height = FreeImage_GetHeight(header);
        }
        FreeImage_Unload(header);
    } else if (PictureHeader::Reads(fif)) {
        answer.size = PictureHeader::Size(fif, source);
    } else {
        answer.size.knowable = false;
    }
    return answer;
}

ExitStatus decode(DescriptorStream& picture, DescriptorStream& bitmap, int format, long long width,
                  long long height) {
    const FREE_IMAGE_FORMAT fif = FREE_IMAGE_FORMAT(format);
    if (!FreeImage_FIFSupportsReading(fif)) return DecoderProtocol::kBadArguments;
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
