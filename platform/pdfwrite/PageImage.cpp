#include "pdfwrite/PageImage.h"

#include <algorithm>
#include <csetjmp>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

#include <QFileInfo>

namespace pdfbox {

static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2,
              "the image library keeps pixels in blue, green, red order");

namespace {

void ensureFreeImage() {
    static const bool ready = [] {
        FreeImage_Initialise(FALSE);
        return true;
    }();
    (void)ready;
}

// libjpeg reports fatal errors through a callback that must not return; the encoder below
// turns them into a failed result instead.
struct JpegFailure {
    jpeg_error_mgr base;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    auto* f = reinterpret_cast<JpegFailure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, f->message);
    std::longjmp(f->back, 1);
}

// The encoder writes into one buffer, made large enough for any page scan at full quality,
// that grows when a picture needs more.
struct JpegOutput {
    jpeg_destination_mgr mgr;
    JpegBytes* bytes;
    size_t capacity;
};

void initOutput(j_compress_ptr cinfo) {
    auto* o = reinterpret_cast<JpegOutput*>(cinfo->dest);
    o->mgr.next_output_byte = o->bytes->data.get();
    o->mgr.free_in_buffer = o->capacity;
}

boolean growOutput(j_compress_ptr cinfo) {
    auto* o = reinterpret_cast<JpegOutput*>(cinfo->dest);
    auto* more = new (std::nothrow) unsigned char[o->capacity * 2];
    if (!more) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    std::memcpy(more, o->bytes->data.get(), o->capacity);
    o->bytes->data.reset(more);
    o->mgr.next_output_byte = o->bytes->data.get() + o->capacity;
    o->mgr.free_in_buffer = o->capacity;
    o->capacity *= 2;
    return TRUE;
}

void termOutput(j_compress_ptr cinfo) {
    auto* o = reinterpret_cast<JpegOutput*>(cinfo->dest);
    o->bytes->size = o->capacity - o->mgr.free_in_buffer;
}

// ---- Pictures ---------------------------------------------------------------------------

// The longest side a JPEG can have, as libjpeg holds it.
constexpr unsigned kMaxJpegSide = JPEG_MAX_DIMENSION;
const char* const kTooLargeForJpeg = "The picture is too large for a JPEG image (at most 65500 pixels a side)";

quint32 le32(const unsigned char* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
quint16 le16(const unsigned char* p) { return quint16(p[0] | p[1] << 8); }

// A plain BMP read straight from its file, one strip of rows at a time: the page bitmap of the
// conversion run is read without decoding or copying it whole.
class BmpStrips : public PagePicture {
public:
    ~BmpStrips() override {
        if (fd_ >= 0) ::close(fd_);
    }

    // nullptr when the file is no plain BMP of 24 bits or of 8-bit greys (another reader
    // takes it then), or with `error` set when it is one no page can hold.
    static std::unique_ptr<BmpStrips> open(const std::string& hostPath, std::string& error) {
        const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        std::unique_ptr<BmpStrips> bmp(new BmpStrips);
        bmp->fd_ = fd;
        return bmp->readHeader(error) ? std::move(bmp) : nullptr;
    }

    unsigned readRows(unsigned first, unsigned count, const unsigned char** rows) override {
        if (first >= height_) return 0;
        unsigned n = std::min({count, height_ - first, unsigned(strip_.size() / stride_)});
        if (n == 0) n = 1;
        // Rows first .. first + n - 1 from the top are one run of the file, kept bottom-up
        // unless the header says otherwise.
        const unsigned fileRow = bottomUp_ ? height_ - first - n : first;
        const off_t at = off_t(pixels_) + off_t(fileRow) * off_t(stride_);
        const size_t want = size_t(n) * stride_;
        size_t got = 0;
        while (got < want) {
            const ssize_t r = ::pread(fd_, strip_.data() + got, want - got, at + off_t(got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return 0;
            got += size_t(r);
        }
        for (unsigned i = 0; i < n; ++i)
            rows[i] = strip_.data() + size_t(bottomUp_ ? n - 1 - i : i) * stride_;
        return n;
    }

private:
    BmpStrips() = default;

    bool readHeader(std::string& error) {
        PlainBitmap b;
        if (!readPlainBitmap(fd_, b)) return false;
        // Before its strip is made: a row may be longer than any strip should be.
        if (b.width > kMaxJpegSide || b.height > kMaxJpegSide) {
            error = kTooLargeForJpeg;
            return false;
        }
        width_ = b.width;
        height_ = b.height;
        grey_ = b.grey;
        bottomUp_ = b.bottomUp;
        stride_ = b.stride;
        pixels_ = b.pixels;
        strip_.resize(std::max<size_t>(stride_, size_t(1) << 20));
        return true;
    }

    int fd_ = -1;
    quint64 stride_ = 0;  // bytes of a row in the file
    quint32 pixels_ = 0;  // where the rows start
    bool bottomUp_ = true;
    std::vector<unsigned char> strip_;
};

}  // namespace

bool readPlainBitmap(int fd, PlainBitmap& out) {
    unsigned char h[54];
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::pread(fd, h, sizeof h, 0) != ssize_t(sizeof h) || h[0] != 'B' || h[1] != 'M') return false;
    PlainBitmap b;
    b.infoSize = le32(h + 14);
    const qint32 w = qint32(le32(h + 18));
    const qint32 hh = qint32(le32(h + 22));
    const unsigned bits = le16(h + 28);
    if (b.infoSize < 40 || le16(h + 26) != 1 || le32(h + 30) != 0 /* BI_RGB */) return false;
    if (w <= 0 || hh == 0 || hh == INT32_MIN || (bits != 24 && bits != 8)) return false;
    b.width = unsigned(w);
    b.height = unsigned(hh < 0 ? -hh : hh);
    b.bottomUp = hh > 0;
    b.grey = bits == 8;
    b.stride = ((quint64(b.width) * bits + 31) / 32) * 4;
    b.pixels = le32(h + 10);
    b.declaredSize = le32(h + 2);
    b.fileSize = quint64(st.st_size);
    if (b.grey) {
        // Only the grey ramp: each byte is the grey it shows.
        const quint32 used = le32(h + 46);
        if (used != 0 && used != 256) return false;
        unsigned char pal[1024];
        if (::pread(fd, pal, sizeof pal, off_t(14) + b.infoSize) != ssize_t(sizeof pal)) return false;
        for (int i = 0; i < 256; ++i) {
            if (pal[4 * i] != i || pal[4 * i + 1] != i || pal[4 * i + 2] != i) return false;
        }
    }
    if (quint64(b.pixels) + b.stride * b.height > b.fileSize) return false;
    out = b;
    return true;
}

namespace {

// Any other picture, decoded whole by the image library.
class DecodedPicture : public PagePicture {
public:
    explicit DecodedPicture(FIBITMAP* page) : page_(page) {
        width_ = FreeImage_GetWidth(page);
        height_ = FreeImage_GetHeight(page);
        grey_ = FreeImage_GetBPP(page) == 8;
    }
    ~DecodedPicture() override { FreeImage_Unload(page_); }

    unsigned readRows(unsigned first, unsigned count, const unsigned char** rows) override {
        if (first >= height_) return 0;
        const unsigned n = std::max(1u, std::min(count, height_ - first));
        // The library keeps rows bottom-up.
        for (unsigned i = 0; i < n; ++i) rows[i] = FreeImage_GetScanLine(page_, int(height_ - 1 - first - i));
        return n;
    }

private:
    FIBITMAP* page_;
};

}  // namespace

std::unique_ptr<PagePicture> PagePicture::open(const std::string& hostPath, std::string& error) {
    ensureFreeImage();
    error.clear();
    if (!QFileInfo(QString::fromStdString(hostPath)).isFile()) {
        error = "The picture file does not exist";
        return nullptr;
    }
    if (std::unique_ptr<BmpStrips> bmp = BmpStrips::open(hostPath, error)) return bmp;
    if (!error.empty()) return nullptr;
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(hostPath.c_str(), 0);
    if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(hostPath.c_str());
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) {
        error = "The file is not a picture this library can read";
        return nullptr;
    }
    // JPEG pictures with the accurate inverse DCT: the fast one loses detail a page keeps.
    FIBITMAP* dib = FreeImage_Load(fif, hostPath.c_str(), fif == FIF_JPEG ? JPEG_ACCURATE : 0);
    if (!dib) {
        error = "The picture file cannot be read";
        return nullptr;
    }
    FIBITMAP* page = pageForm(dib);
    if (page != dib) FreeImage_Unload(dib);
    if (!page) {
        error = "The picture's pixel format cannot be converted";
        return nullptr;
    }
    return std::make_unique<DecodedPicture>(page);
}

bool encodeJpeg(PagePicture& picture, int quality, JpegBytes& out, std::string& error) {
    const unsigned w = picture.width();
    const unsigned h = picture.height();
    if (w == 0 || h == 0 || w > kMaxJpegSide || h > kMaxJpegSide) {
        error = kTooLargeForJpeg;
        return false;
    }
    const int q = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    const int channels = picture.grey() ? 1 : 3;
    // Half the pixels' bytes: a noisy scan at full quality takes about a third.
    JpegOutput dest{{}, &out, std::max<size_t>(size_t(w) * h * channels / 2, 1 << 16)};
    out.size = 0;
    out.data.reset(new (std::nothrow) unsigned char[dest.capacity]);
    if (!out.data) {
        error = "JPEG encoding failed: out of memory";
        return false;
    }

    jpeg_compress_struct cinfo;
    JpegFailure failure;
    cinfo.err = jpeg_std_error(&failure.base);
    failure.base.error_exit = jpegErrorExit;
    dest.mgr.init_destination = initOutput;
    dest.mgr.empty_output_buffer = growOutput;
    dest.mgr.term_destination = termOutput;
    if (setjmp(failure.back)) {
        jpeg_destroy_compress(&cinfo);
        out.size = 0;
        error = std::string("JPEG encoding failed: ") + failure.message;
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.mgr;
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, q, TRUE);
    // The accurate integer DCT is the default, and at high qualities also the fastest; the
    // standard Huffman tables spare a second pass that gains a few percent.
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    if (channels == 3 && q >= kFullColourQuality) {
        for (int c = 0; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    const unsigned char* rows[256];
    while (cinfo.next_scanline < h) {
        const unsigned n = picture.readRows(cinfo.next_scanline, 256, rows);
        if (n == 0) {
            jpeg_destroy_compress(&cinfo);
            out.size = 0;
            error = "The picture file cannot be read";
            return false;
        }
        jpeg_write_scanlines(&cinfo, const_cast<JSAMPARRAY>(rows), n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

std::vector<unsigned char> pixelRows(PagePicture& picture) {
    const unsigned w = picture.width();
    const unsigned h = picture.height();
    const size_t rowBytes = picture.rowBytes();
    std::vector<unsigned char> out(rowBytes * h);
    const unsigned char* rows[256];
    for (unsigned y = 0; y < h;) {
        const unsigned n = picture.readRows(y, 256, rows);
        if (n == 0) return {};
        for (unsigned i = 0; i < n; ++i, ++y) {
            unsigned char* dst = out.data() + size_t(y) * rowBytes;
            if (picture.grey()) {
                std::memcpy(dst, rows[i], rowBytes);
                continue;
            }
            for (unsigned x = 0; x < w; ++x) {
                dst[3 * x + 0] = rows[i][3 * x + 2];
                dst[3 * x + 1] = rows[i][3 * x + 1];
                dst[3 * x + 2] = rows[i][3 * x + 0];
            }
        }
    }
    return out;
}

}  // namespace pdfbox
