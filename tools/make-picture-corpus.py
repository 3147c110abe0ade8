#!/usr/bin/env python3
"""Writes a corpus of good pictures for measuring the picture decoder (bench/folipress/
same-pages.sh and cut-pictures.sh): the formats the image library reads, at the depths and
image types it exports and with the save options that change a file's layout, at a small odd
size (37 x 23), a medium one (640 x 480) and, for the scan formats, an A4 page at 300 dpi
(2480 x 3508). The content is photo-like (waves and discs with some noise), so that compression
is real. Names tell format, variant, depth and size: tiff-lzw-24-640x480.tif.

    tools/make-picture-corpus.py OUT_DIR

OUT_DIR must be new or empty. Every picture is read back whole by the library before it is
kept. Good pictures that the decoder of today refuses go into OUT_DIR/left-out/ (not part of the
corpus); the list at the end says why, and which ones could not be made at all.

Needs python3 and the FreeImage library for the formats it writes, and for the ones it only
reads (or cannot write) the command-line tools of imagemagick, netpbm, libjpeg-turbo-progs and
libjxr-tools:
    apt-get install libfreeimage3 imagemagick netpbm libjpeg-turbo-progs libjxr-tools
Not part of the test run."""
import collections
import ctypes
import math
import os
import random
import shutil
import struct
import subprocess
import sys

# FreeImage's format codes, image types and flags (FreeImage.h).
BMP, ICO, JPEG, JNG, KOALA, IFF, MNG, PBM, PBMRAW, PCD, PCX, PGM, PGMRAW, PNG, PPM, PPMRAW, RAS, \
    TARGA, TIFF, WBMP, PSD, CUT, XBM, XPM, DDS, GIF, HDR, G3, SGI, EXR, J2K, JP2, PFM, PICT, RAW, \
    WEBP, JXR = range(37)
FIT_BITMAP, FIT_UINT16, FIT_INT16, FIT_UINT32, FIT_INT32, FIT_FLOAT, FIT_DOUBLE, FIT_COMPLEX, \
    FIT_RGB16, FIT_RGBA16, FIT_RGBF, FIT_RGBAF = range(1, 13)
FICC_ALPHA, FID_FS, FIQ_WUQUANT = 4, 0, 0
BMP_SAVE_RLE = 1
JPEG_QUALITYGOOD, JPEG_PROGRESSIVE, JPEG_SUBSAMPLING_411, JPEG_SUBSAMPLING_420 = 0x100, 0x2000, 0x1000, 0x4000
JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_444 = 0x8000, 0x10000
PNG_INTERLACED = 0x200
PNM_SAVE_ASCII = 1
TARGA_SAVE_RLE = 2
TIFF_CMYK, TIFF_PACKBITS, TIFF_ADOBE_DEFLATE, TIFF_NONE = 0x1, 0x100, 0x400, 0x800
TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_LZW, TIFF_JPEG, TIFF_LOGLUV = 0x1000, 0x2000, 0x4000, 0x8000, 0x10000
WEBP_LOSSLESS = 0x100
EXR_FLOAT, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44 = 0x1, 0x4, 0x8, 0x10, 0x20
PSD_CMYK, PSD_RLE, PSD_PSB = 0x1, 0x200, 0x2000

SMALL, MEDIUM, A4 = (37, 23), (640, 480), (2480, 3508)
ICON = {SMALL: (48, 48), MEDIUM: (256, 256)}  # an icon is square, 16 to 256 pixels a side
# The library's JPEG 2000 writer takes 6 resolution levels: 32 pixels a side at least.
JPEG2000 = {SMALL: (37, 33), MEDIUM: MEDIUM}

# Why the decoder of today refuses a good picture.
RLE_END = ("RLE8 as the library itself (and ImageMagick) writes it, its last row closed by an "
           "end-of-line before the end-of-bitmap: the library's reader then runs out of rows "
           "before it sees the end-of-bitmap and fails ('Error encountered while decoding RLE8 "
           "BMP data'); the corpus has it without that end-of-line")
RAS_FULL_MAP = ("8-bit with a full colour map of 256 entries, as pnmtorast always writes one: the "
                "library's reader takes only a map of fewer colours ('Invalid palette'); the corpus "
                "has them with a map of the 255 colours they use")
JXR_BROKEN = ("made with JxrEncApp: the library's JPEG XR reader (Debian's, over the system libjxr) "
              "reads no JPEG XR ('Unsupported format'), and its writer fails ('Invalid instruction')")

fi = ctypes.CDLL("libfreeimage.so.3")
fi.FreeImage_Initialise(0)
_VP = ctypes.c_void_p
for _name, _res, _args in (
        ("Allocate", _VP, [ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint]),
        ("AllocateT", _VP, [ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                            ctypes.c_uint]),
        ("ConvertFromRawBits", _VP, [ctypes.c_char_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_int]),
        ("ConvertToGreyscale", _VP, [_VP]), ("ConvertTo24Bits", _VP, [_VP]), ("ConvertTo32Bits", _VP, [_VP]),
        ("ConvertTo16Bits555", _VP, [_VP]), ("ConvertTo16Bits565", _VP, [_VP]),
        ("ConvertToType", _VP, [_VP, ctypes.c_int, ctypes.c_int]),
        ("ColorQuantizeEx", _VP, [_VP, ctypes.c_int, ctypes.c_int, ctypes.c_int, _VP]),
        ("Dither", _VP, [_VP, ctypes.c_int]), ("Clone", _VP, [_VP]),
        ("GetScanLine", _VP, [_VP, ctypes.c_int]), ("GetPalette", _VP, [_VP]),
        ("GetWidth", ctypes.c_uint, [_VP]), ("GetHeight", ctypes.c_uint, [_VP]), ("Unload", None, [_VP]),
        ("SetChannel", ctypes.c_int, [_VP, _VP, ctypes.c_int]),
        ("SetTransparencyTable", None, [_VP, ctypes.c_char_p, ctypes.c_int]),
        ("Load", _VP, [ctypes.c_int, ctypes.c_char_p, ctypes.c_int]),
        ("GetFileType", ctypes.c_int, [ctypes.c_char_p, ctypes.c_int]),
        ("GetFIFFromFilename", ctypes.c_int, [ctypes.c_char_p]),
        ("OpenMemory", _VP, [_VP, ctypes.c_uint]), ("CloseMemory", None, [_VP]),
        ("SaveToMemory", ctypes.c_int, [ctypes.c_int, _VP, _VP, ctypes.c_int]),
        ("LoadFromMemory", _VP, [ctypes.c_int, _VP, ctypes.c_int]),
        ("AcquireMemory", ctypes.c_int, [_VP, _VP, _VP])):
    _f = getattr(fi, "FreeImage_" + _name)
    _f.restype, _f.argtypes = _res, _args

messages = []
_on_message = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p)(
    lambda fif, text: messages.append(text.decode(errors="replace")))
fi.FreeImage_SetOutputMessage(_on_message)


# ---- Pixels -----------------------------------------------------------------------------------

def add_bytes(a, b):
    """Byte-wise a + b, for bytes whose sums never carry (each under 256)."""
    return (int.from_bytes(a, "little") + int.from_bytes(b, "little")).to_bytes(len(a), "little")


def clip(v, hi=255):
    return 0 if v < 0 else hi if v > hi else int(v)


class Photo:
    """A photo-like picture of w x h: BGR rows and an alpha plane, top-down, unpadded. Made row
    by row with translate tables: a loop over the pixels in Python is far too slow at A4."""

    def __init__(self, w, h, seed):
        self.w, self.h = w, h
        rnd = random.Random(seed)
        span = w + w // 2 + 1  # the rows slide along a wider wave
        # Each channel's wave along x, 0..84, in a byte range of its own: 85 * channel + value.
        pattern = bytearray(3 * span)
        for c in range(3):
            f1, f2, p1, p2 = rnd.uniform(0.6, 2.2), rnd.uniform(4, 11), rnd.uniform(0, 6.3), rnd.uniform(0, 6.3)
            for x in range(span):
                t = x / w
                pattern[3 * x + c] = 85 * c + clip(42 + 30 * math.sin(2 * math.pi * f1 * t + p1)
                                                   + 10 * math.sin(2 * math.pi * f2 * t + p2), 84)
        wave = bytes(clip(128 + 127 * math.sin(2 * math.pi * x / w * 1.3)) for x in range(span))
        discs = [(rnd.uniform(0.15, 0.85) * w, rnd.uniform(0.15, 0.85) * h, rnd.uniform(0.08, 0.22) * min(w, h),
                  [rnd.uniform(0.4, 1.6) for _ in range(3)]) for _ in range(3)]
        gains = [rnd.uniform(1.2, 2.0) for _ in range(3)]
        phases = [rnd.uniform(0, 6.3) for _ in range(3)]
        noise_top = 12
        rows, alpha = [], []
        for y in range(h):
            t = y / h
            shift = int((w // 2) * (0.5 + 0.5 * math.sin(2 * math.pi * 0.7 * t + phases[0])))
            table = bytearray(256)
            for c in range(3):
                base = 60 * (0.5 + 0.5 * math.sin(2 * math.pi * (0.5 + c * 0.3) * t + phases[c]))
                for q in range(85):
                    table[85 * c + q] = clip(q * gains[c] + base, 255 - noise_top)
            raw = pattern[3 * shift:3 * shift + 3 * w]
            row = bytearray(raw.translate(table))
            for cx, cy, r, tint in discs:
                dy = y - cy
                if abs(dy) < r:
                    half = math.sqrt(r * r - dy * dy)
                    x0, x1 = max(0, int(cx - half)), min(w, int(cx + half))
                    if x1 > x0:
                        shade = 0.6 + 0.4 * (1 - abs(dy) / r)
                        disc = bytearray(256)
                        for c in range(3):
                            for q in range(85):
                                disc[85 * c + q] = clip((40 + q * 2) * tint[c] * shade, 255 - noise_top)
                        row[3 * x0:3 * x1] = raw[3 * x0:3 * x1].translate(disc)
            rows.append(bytes(row))
            alpha.append(wave[shift:shift + w].translate(
                bytes(clip((v - 128) * 2.5 + 128 + 200 * (t - 0.5)) for v in range(256))))
        pixels = b"".join(rows)
        noise = rnd.randbytes(len(pixels)).translate(bytes(v * (noise_top + 1) // 256 for v in range(256)))
        self.bgr = add_bytes(pixels, noise)
        self.alpha = b"".join(alpha)
        self.rnd = rnd


# ---- Bitmaps ----------------------------------------------------------------------------------

def raw_bitmap(data, w, h, bpp):
    dib = fi.FreeImage_ConvertFromRawBits(data, w, h, w * bpp // 8, bpp, 0xFF0000, 0x00FF00, 0x0000FF, 1)
    assert dib, "no bitmap"
    return dib


def typed_bitmap(kind, w, h, bpp, data):
    """A bitmap of image type kind from top-down rows of w * bpp / 8 bytes."""
    dib = fi.FreeImage_AllocateT(kind, w, h, bpp, 0, 0, 0)
    line = w * bpp // 8
    for y in range(h):
        ctypes.memmove(fi.FreeImage_GetScanLine(dib, h - 1 - y), data[y * line:(y + 1) * line], line)
    return dib


def rows_of(dib, line):
    """Top-down rows of a bitmap, line bytes each."""
    h = fi.FreeImage_GetHeight(dib)
    return b"".join(ctypes.string_at(fi.FreeImage_GetScanLine(dib, h - 1 - y), line) for y in range(h))


def palette_of(dib, n):
    return ctypes.string_at(fi.FreeImage_GetPalette(dib), 4 * n)


def encoded(fif, dib, flags=0):
    """A bitmap as the library saves it, in memory."""
    memory = fi.FreeImage_OpenMemory(None, 0)
    try:
        if not fi.FreeImage_SaveToMemory(fif, dib, memory, flags):
            return None
        data, size = ctypes.c_void_p(), ctypes.c_uint32()
        fi.FreeImage_AcquireMemory(memory, ctypes.byref(data), ctypes.byref(size))
        return ctypes.string_at(data, size.value)
    finally:
        fi.FreeImage_CloseMemory(memory)


class Depths:
    """One picture at each depth and image type, each made once."""

    def __init__(self, size, seed):
        self.p = Photo(size[0], size[1], seed)
        self.made = {}

    # Depths the library converts to from another: the source depth and the type.
    CONVERTED = {"int16": ("grey", FIT_INT16), "uint32": ("grey", FIT_UINT32), "int32": ("grey", FIT_INT32),
                 "float": ("grey", FIT_FLOAT), "double": ("grey", FIT_DOUBLE), "rgbf": ("24", FIT_RGBF),
                 "rgbaf": ("32", FIT_RGBAF)}

    def __call__(self, depth):
        if depth not in self.made:
            if depth in self.CONVERTED:
                source, kind = self.CONVERTED[depth]
                dib = fi.FreeImage_ConvertToType(self(source), kind, 1)
            else:
                dib = getattr(self, "make_" + depth.replace("-", "_"))()
            assert dib, "no %s bitmap" % depth
            self.made[depth] = dib
        return self.made[depth]

    def free(self):
        for dib in self.made.values():
            fi.FreeImage_Unload(dib)

    def make_24(self):
        return raw_bitmap(self.p.bgr, self.p.w, self.p.h, 24)

    def make_32(self):
        dib = fi.FreeImage_ConvertTo32Bits(self("24"))
        a = raw_bitmap(self.p.alpha, self.p.w, self.p.h, 8)
        fi.FreeImage_SetChannel(dib, a, FICC_ALPHA)
        fi.FreeImage_Unload(a)
        return dib

    def make_grey(self):
        return fi.FreeImage_ConvertToGreyscale(self("24"))

    def make_1(self):
        return fi.FreeImage_Dither(self("grey"), FID_FS)

    def make_8(self):
        return fi.FreeImage_ColorQuantizeEx(self("24"), FIQ_WUQUANT, 256, 0, None)

    def make_8_255(self):
        return fi.FreeImage_ColorQuantizeEx(self("24"), FIQ_WUQUANT, 255, 0, None)

    def make_8_trns(self):
        """The palette picture with its dark entries transparent and its middle ones half so."""
        dib = fi.FreeImage_Clone(self("8"))
        pal = palette_of(dib, 256)
        sums = [sum(pal[4 * i:4 * i + 3]) for i in range(256)]
        fi.FreeImage_SetTransparencyTable(dib, bytes(0 if v < 120 else 128 if v < 200 else 255 for v in sums), 256)
        return dib

    def make_4(self):
        """16 colours of its own, two pixels a byte."""
        q = fi.FreeImage_ColorQuantizeEx(self("24"), FIQ_WUQUANT, 16, 0, None)
        w, h = self.p.w, self.p.h
        dib = fi.FreeImage_Allocate(w, h, 4, 0, 0, 0)
        ctypes.memmove(fi.FreeImage_GetPalette(dib), palette_of(q, 16), 64)
        high, low = bytes((v & 15) << 4 for v in range(256)), bytes(v & 15 for v in range(256))
        for y in range(h):
            idx = ctypes.string_at(fi.FreeImage_GetScanLine(q, y), w) + b"\0"
            a = idx[0:w:2].translate(high)
            ctypes.memmove(fi.FreeImage_GetScanLine(dib, y), add_bytes(a, idx[1:w + 1:2].translate(low)[:len(a)]),
                           len(a))
        fi.FreeImage_Unload(q)
        return dib

    def as_24(self, depth):
        return fi.FreeImage_ConvertTo24Bits(self(depth))

    def make_4_as_24(self):
        return self.as_24("4")

    def make_8_as_24(self):
        return self.as_24("8")

    def make_8_255_as_24(self):
        return self.as_24("8-255")

    def make_16_555(self):
        return fi.FreeImage_ConvertTo16Bits555(self("24"))

    def make_16_565(self):
        return fi.FreeImage_ConvertTo16Bits565(self("24"))

    def wide(self, planes):
        """16 bits a sample, little-endian: the 8-bit samples as high bytes, noise below."""
        out = bytearray(self.p.rnd.randbytes(2 * len(planes) * self.p.w * self.p.h))
        for i, plane in enumerate(planes):
            out[2 * i + 1::2 * len(planes)] = plane
        return bytes(out)

    def make_grey16(self):
        return typed_bitmap(FIT_UINT16, self.p.w, self.p.h, 16, self.wide([rows_of(self("grey"), self.p.w)]))

    def make_rgb48(self):
        b = self.p.bgr
        return typed_bitmap(FIT_RGB16, self.p.w, self.p.h, 48, self.wide([b[2::3], b[1::3], b[0::3]]))

    def make_rgba64(self):
        b = self.p.bgr
        return typed_bitmap(FIT_RGBA16, self.p.w, self.p.h, 64, self.wide([b[2::3], b[1::3], b[0::3], self.p.alpha]))

    def make_cmyk(self):
        """32-bit CMYK, as the library loads a separated TIFF with TIFF_CMYK."""
        data = encoded(TIFF, self("32"), TIFF_CMYK | TIFF_NONE)
        memory = fi.FreeImage_OpenMemory(data, len(data))
        dib = fi.FreeImage_LoadFromMemory(TIFF, memory, TIFF_CMYK)
        fi.FreeImage_CloseMemory(memory)
        return dib


# ---- The corpus -------------------------------------------------------------------------------

def size_name(size):
    return "a4" if size == A4 else "%dx%d" % size


def library_size(path):
    """The size the library reads a file at (by content, else by extension), or why it reads none."""
    fif = fi.FreeImage_GetFileType(path.encode(), 0)
    if fif < 0:
        fif = fi.FreeImage_GetFIFFromFilename(path.encode())
    del messages[:]
    dib = fi.FreeImage_Load(fif, path.encode(), 0) if fif >= 0 else None
    if not dib:
        return "not at all" + (" ('%s')" % messages[-1] if messages else "")
    size = (fi.FreeImage_GetWidth(dib), fi.FreeImage_GetHeight(dib))
    fi.FreeImage_Unload(dib)
    return size


class Corpus:
    def __init__(self, out):
        self.out = out
        self.made = []      # names in the corpus
        self.left_out = []  # (name, why)

    def path(self, name, refused=None):
        folder = os.path.join(self.out, "left-out") if refused else self.out
        os.makedirs(folder, exist_ok=True)
        return os.path.join(folder, name)

    def done(self, name, size, refused=None, check=True):
        """A file just written is kept when the library reads it whole at its size (unless what
        keeps it out of the corpus is the library's own reader)."""
        path = self.path(name, refused)
        got = library_size(path) if check else size
        if got != size:
            os.remove(path)
            self.left_out.append((name, "not made: the library reads it %s" % (
                "as %dx%d" % got if isinstance(got, tuple) else got)))
        elif refused:
            self.left_out.append(("left-out/" + name, refused))
        else:
            self.made.append(name)

    def write(self, name, data, size, refused=None, check=True):
        with open(self.path(name, refused), "wb") as f:
            f.write(data)
        self.done(name, size, refused, check)

    def save(self, name, fif, dib, flags, size, refused=None, check=True):
        del messages[:]
        data = encoded(fif, dib, flags)
        if data is None:
            self.left_out.append((name, "not made: the library does not save it" + (
                " ('%s')" % messages[-1] if messages else "")))
            return None
        self.write(name, data, size, refused, check)
        return data

    def tool(self, name, size, argv, data, refused=None, check=True):
        """A file as a command writes it to its standard output, given data as its input."""
        run = subprocess.run(argv, input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if run.returncode != 0 or not run.stdout:
            why = run.stderr.decode(errors="replace").strip().splitlines()[-1:]
            self.left_out.append((name, "not made: %s failed%s" % (argv[0], ": " + why[0] if why else "")))
            return
        self.write(name, run.stdout, size, refused, check)


def library_formats(c, d, size):
    """Every format the library writes, at the depths and types it exports, with the save
    options that change the file's layout. s: small size, m: medium size."""
    n, sm = size_name(size), "s" if size == SMALL else "m"
    table = [
        *[("bmp-%s.bmp" % x, BMP, x, 0, "sm") for x in ("1", "4", "8", "grey", "16-555", "16-565", "24", "32")],
        ("jpeg-baseline-420-24.jpg", JPEG, "24", JPEG_QUALITYGOOD | JPEG_SUBSAMPLING_420, "sm"),
        ("jpeg-baseline-422-24.jpg", JPEG, "24", JPEG_QUALITYGOOD | JPEG_SUBSAMPLING_422, "m"),
        ("jpeg-baseline-444-24.jpg", JPEG, "24", JPEG_QUALITYGOOD | JPEG_SUBSAMPLING_444, "sm"),
        ("jpeg-baseline-411-24.jpg", JPEG, "24", JPEG_QUALITYGOOD | JPEG_SUBSAMPLING_411, "m"),
        ("jpeg-progressive-420-24.jpg", JPEG, "24", JPEG_QUALITYGOOD | JPEG_PROGRESSIVE, "sm"),
        ("jpeg-baseline-grey.jpg", JPEG, "grey", JPEG_QUALITYGOOD, "sm"),
        ("jpeg-progressive-grey.jpg", JPEG, "grey", JPEG_QUALITYGOOD | JPEG_PROGRESSIVE, "m"),
        ("jpeg-baseline-cmyk.jpg", JPEG, "cmyk", JPEG_QUALITYGOOD, "sm"),
        ("jng-grey.jng", JNG, "grey", 0, "s"), ("jng-24.jng", JNG, "24", 0, "sm"), ("jng-32.jng", JNG, "32", 0, "s"),
        *[("pnm-raw-%s.%s" % (x, e), f, x, 0, "sm" if x in ("1", "grey", "24") else "s")
          for x, e, f in (("1", "pbm", PBMRAW), ("grey", "pgm", PGMRAW), ("grey16", "pgm", PGMRAW),
                          ("24", "ppm", PPMRAW), ("rgb48", "ppm", PPMRAW))],
        *[("pnm-ascii-%s.%s" % (x, e), f, x, PNM_SAVE_ASCII, "s")
          for x, e, f in (("1", "pbm", PBM), ("grey", "pgm", PGM), ("grey16", "pgm", PGM), ("24", "ppm", PPM),
                          ("rgb48", "ppm", PPM))],
        *[("png-%s.png" % x, PNG, x, 0, "sm" if x in ("8", "grey", "24", "32", "rgb48") else "s")
          for x in ("1", "4", "8", "8-trns", "grey", "24", "32", "grey16", "rgb48", "rgba64")],
        ("png-interlaced-24.png", PNG, "24", PNG_INTERLACED, "sm"),
        *[("tga-%s.tga" % x, TARGA, x, 0, "sm" if x != "16-555" else "s") for x in ("8", "16-555", "24", "32")],
        *[("tga-rle-%s.tga" % x, TARGA, x, TARGA_SAVE_RLE, "m" if x != "24" else "sm") for x in ("8", "24", "32")],
        *[("tiff-%s-24.tif" % name, TIFF, "24", flags, "sm")
          for name, flags in (("none", TIFF_NONE), ("lzw", TIFF_LZW), ("deflate", TIFF_ADOBE_DEFLATE),
                              ("packbits", TIFF_PACKBITS))],
        *[("tiff-lzw-%s.tif" % x, TIFF, x, TIFF_LZW, "sm" if x != "4" else "s") for x in ("1", "4", "8", "grey", "32")],
        ("tiff-jpeg-24.tif", TIFF, "24", TIFF_JPEG, "sm"),
        ("tiff-g3-1.tif", TIFF, "1", TIFF_CCITTFAX3, "sm"), ("tiff-g4-1.tif", TIFF, "1", TIFF_CCITTFAX4, "sm"),
        ("tiff-none-cmyk.tif", TIFF, "cmyk", TIFF_CMYK | TIFF_NONE, "sm"),
        *[("tiff-lzw-%s.tif" % x, TIFF, x, TIFF_LZW, "sm" if x in ("grey16", "rgb48") else "s")
          for x in ("grey16", "int16", "uint32", "int32", "float", "double", "rgb48", "rgba64")],
        ("wbmp-1.wbmp", WBMP, "1", 0, "sm"),
        *[("psd-%s.psd" % x, PSD, x, 0, "sm" if x in ("24", "32") else "s")
          for x in ("24", "32", "grey16", "rgb48", "rgba64")],
        ("psd-rle-24.psd", PSD, "24", PSD_RLE, "sm"), ("psd-cmyk.psd", PSD, "cmyk", PSD_CMYK, "s"),
        ("psd-psb-24.psb", PSD, "24", PSD_PSB, "s"),
        ("xpm-8.xpm", XPM, "8", 0, "sm"), ("xpm-24.xpm", XPM, "24", 0, "s"),
        *[("gif-%s.gif" % x, GIF, x, 0, "s" if x in ("1", "8-trns") else "sm") for x in ("1", "4", "8", "8-trns")],
        ("exr-piz-float.exr", EXR, "float", EXR_PIZ, "sm"), ("exr-zip-float32.exr", EXR, "float", EXR_ZIP | EXR_FLOAT, "s"),
        ("exr-b44-float.exr", EXR, "float", EXR_B44, "s"), ("exr-pxr24-float.exr", EXR, "float", EXR_PXR24, "m"),
        ("pfm-float.pfm", PFM, "float", 0, "sm"),
        ("webp-lossy-24.webp", WEBP, "24", 0, "sm"), ("webp-lossy-32.webp", WEBP, "32", 0, "sm"),
        ("hdr-rgbf.hdr", HDR, "rgbf", 0, "s"), ("exr-piz-rgbf.exr", EXR, "rgbf", EXR_PIZ, "s"),
        ("exr-piz-rgbaf.exr", EXR, "rgbaf", EXR_PIZ, "s"), ("pfm-rgbf.pfm", PFM, "rgbf", 0, "s"),
        ("tiff-lzw-rgbf.tif", TIFF, "rgbf", TIFF_LZW, "s"), ("tiff-logluv-rgbf.tif", TIFF, "rgbf", TIFF_LOGLUV, "s"),
        ("psd-rgbf.psd", PSD, "rgbf", 0, "s"),
        ("webp-lossless-24.webp", WEBP, "24", WEBP_LOSSLESS, "sm"),
        ("webp-lossless-32.webp", WEBP, "32", WEBP_LOSSLESS, "sm"),
    ]
    for name, fif, depth, flags, sizes in table:
        if sm in sizes:
            stem, ext = name.rsplit(".", 1)
            c.save("%s-%s.%s" % (stem, n, ext), fif, d(depth), flags, size)

    for depth in ("8", "grey"):  # RLE8, without the end-of-line that the reader stumbles over
        data = c.save("bmp-rle-%s-as-written-%s.bmp" % (depth, n), BMP, d(depth), BMP_SAVE_RLE, size,
                      refused=RLE_END, check=False) if sm == "s" else encoded(BMP, d(depth), BMP_SAVE_RLE)
        c.write("bmp-rle-%s-%s.bmp" % (depth, n), without_last_end_of_line(data), size)

    icon = Depths(ICON[size], 7)
    for depth in ("1", "8", "24", "32") if sm == "s" else ("4", "8", "16-555", "32"):
        c.save("ico-%s-%s.ico" % (depth, size_name(ICON[size])), ICO, icon(depth), 0, ICON[size])
    icon.free()
    j = Depths(JPEG2000[size], 5) if JPEG2000[size] != size else d
    for fif, ext, depths in ((J2K, "j2k", ("grey", "24", "rgb48") if sm == "s" else ("24",)),
                             (JP2, "jp2", ("24", "32", "grey16") if sm == "s" else ("24", "rgba64"))):
        for depth in depths:
            c.save("%s-%s-%s.%s" % (ext, depth, size_name(JPEG2000[size]), ext), fif, j(depth), 0, JPEG2000[size])
    if j is not d:
        j.free()


def without_last_end_of_line(bmp):
    """An RLE8 BMP whose end-of-bitmap also ends its last row."""
    at = struct.unpack_from("<I", bmp, 10)[0]
    last = None
    while at + 1 < len(bmp):
        count, code = bmp[at], bmp[at + 1]
        if count:
            at += 2
        elif code == 0:
            last = at
            at += 2
        elif code == 1:
            break
        elif code == 2:
            at += 4
        else:
            at += 2 + code + (code & 1)
    if last is None or last + 2 != at:
        return bmp
    out = bytearray(bmp[:last] + bmp[last + 2:])
    struct.pack_into("<I", out, 2, len(out))
    if struct.unpack_from("<I", out, 34)[0]:
        struct.pack_into("<I", out, 34, struct.unpack_from("<I", out, 34)[0] - 2)
    return bytes(out)


def scans(c, d):
    """The scan formats at A4, colour and grey."""
    n = size_name(A4)
    for depth in ("24", "grey"):
        c.save("jpeg-baseline-420-%s-%s.jpg" % (depth, n), JPEG, d(depth), JPEG_QUALITYGOOD, A4)
        c.save("png-%s-%s.png" % (depth, n), PNG, d(depth), 0, A4)
        c.save("tiff-lzw-%s-%s.tif" % (depth, n), TIFF, d(depth), TIFF_LZW, A4)
        c.save("bmp-%s-%s.bmp" % (depth, n), BMP, d(depth), 0, A4)
    c.save("jpeg-progressive-420-24-%s.jpg" % n, JPEG, d("24"), JPEG_QUALITYGOOD | JPEG_PROGRESSIVE, A4)
    c.tool("jpeg-cjpeg-progressive-444-24-%s.jpg" % n, A4,
           ["cjpeg", "-quality", "85", "-progressive", "-sample", "1x1"], encoded(PPMRAW, d("24")))
    c.tool("jpeg-cjpeg-progressive-grey-%s.jpg" % n, A4, ["cjpeg", "-quality", "85", "-progressive"],
           encoded(PGMRAW, d("grey")))
    c.save("tiff-none-24-%s.tif" % n, TIFF, d("24"), TIFF_NONE, A4)
    c.save("tiff-g4-1-%s.tif" % n, TIFF, d("1"), TIFF_CCITTFAX4, A4)
    c.save("tiff-jpeg-24-%s.tif" % n, TIFF, d("24"), TIFF_JPEG, A4)


# ---- Formats the library only reads -------------------------------------------------------------

def pack_bits(data):
    """PackBits (ByteRun1): n + 1 literal bytes after n (0..127), a byte repeated 257 - n times
    after n (129..255)."""
    out, i, n = bytearray(), 0, len(data)
    while i < n:
        j = i + 1
        while j < n and j - i < 128 and data[j] == data[i]:
            j += 1
        if j - i >= 2:
            out += bytes([257 - (j - i), data[i]])
            i = j
            continue
        while j < n and j - i < 128 and not (j + 1 < n and data[j] == data[j + 1]):
            j += 1
        out += bytes([j - i - 1]) + data[i:j]
        i = j
    return bytes(out)


def iff_pbm(d, compressed):
    """An IFF "PBM " (Deluxe Paint's chunky 256-colour form): BMHD, CMAP, then rows of a byte a
    pixel, each padded to an even length and packed on its own."""
    dib, w, h = d("8"), d.p.w, d.p.h
    pal = palette_of(dib, 256)
    cmap = b"".join(bytes([pal[4 * i + 2], pal[4 * i + 1], pal[4 * i]]) for i in range(256))
    line = (w + 1) & ~1
    body = bytearray()
    for y in range(h):
        row = ctypes.string_at(fi.FreeImage_GetScanLine(dib, h - 1 - y), w).ljust(line, b"\0")
        body += pack_bits(row) if compressed else row
    bmhd = struct.pack(">HHhhBBBBHBBhh", w, h, 0, 0, 8, 0, 1 if compressed else 0, 0, 0, 10, 11, w, h)
    chunks = (b"BMHD" + struct.pack(">I", len(bmhd)) + bmhd + b"CMAP" + struct.pack(">I", len(cmap)) + cmap
              + b"BODY" + struct.pack(">I", len(body)) + body + bytes(len(body) & 1))
    return b"FORM" + struct.pack(">I", 4 + len(chunks)) + b"PBM " + chunks


def cut(d):
    """A Dr. Halo CUT: width, height and a reserved word (16-bit, little-endian), then each row as
    a 16-bit byte count and runs (0x80 | n and one byte repeated n times, or n and n literal
    bytes), closed by a zero. The library shows the values as greys (no .pal file beside it)."""
    dib, w, h = d("grey"), d.p.w, d.p.h
    out = bytearray(struct.pack("<HHH", w, h, 0))
    for y in range(h):
        row = ctypes.string_at(fi.FreeImage_GetScanLine(dib, h - 1 - y), w)
        runs, i = bytearray(), 0
        while i < w:
            j = i + 1
            while j < w and j - i < 127 and row[j] == row[i]:
                j += 1
            if j - i >= 3:
                runs += bytes([0x80 | (j - i), row[i]])
                i = j
                continue
            while j < w and j - i < 127 and not (j + 2 < w and row[j] == row[j + 1] == row[j + 2]):
                j += 1
            runs += bytes([j - i]) + row[i:j]
            i = j
        runs += b"\0"
        out += struct.pack("<H", len(runs)) + runs
    return bytes(out)


def koala():
    """A C64 Koala Painter picture (always 320 x 200, of 160 double-wide pixels): load address
    0x6000, the multicolour bitmap in 8 x 8 cells (8000 bytes), screen RAM (1000: colours 1 and
    2 of each cell), colour RAM (1000: colour 3), background colour."""
    p = Photo(160, 200, 11)
    g = rows_of(fi.FreeImage_ConvertToGreyscale(raw_bitmap(p.bgr, 160, 200, 24)), 160)
    bitmap = bytearray(8000)
    for y in range(200):
        for x in range(160):
            level = min(3, (g[y * 160 + x] + ((x * 7 + y * 13) % 4) * 16) // 64)  # 4 greys, dithered
            bitmap[(x // 4) * 8 + (y % 8) + (y // 8) * 320] |= level << (6 - 2 * (x % 4))
    # black background; dark grey (11) and grey (12) from screen RAM; light grey (15) from colour RAM
    return b"\x00\x60" + bytes(bitmap) + bytes([0xBC] * 1000) + bytes([15] * 1000) + b"\x00"


def dds(w, h, bits, masks, data, fourcc=None):
    """A DDS of one surface (no mip maps): the header, then the data."""
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | (0x80000 if fourcc else 0x8)
    if fourcc:
        pf = struct.pack("<II4sIIIII", 32, 0x4, fourcc, 0, 0, 0, 0, 0)
        pitch = len(data)
    else:
        pf = struct.pack("<IIIIIIII", 32, 0x40 | (0x1 if masks[3] else 0), 0, bits, *masks)
        pitch = w * bits // 8
    head = struct.pack("<IIIIIII", 124, flags, h, w, pitch, 0, 0) + bytes(44) + pf + struct.pack("<IIIII", 0x1000, 0, 0,
                                                                                                 0, 0)
    return b"DDS " + head + data


def dxt3(d, dxt5):
    """DXT3 from a DXT5 of the same picture: each block's colours as DXT5 has them, its alpha
    explicit (4 bits a pixel) from the picture's alpha plane."""
    w, h, a = d.p.w, d.p.h, d.p.alpha
    data, blocks, k = dxt5[128:], bytearray(), 0
    for by in range(0, h, 4):
        for bx in range(0, w, 4):
            for y in range(by, by + 4):
                word = 0
                for x in range(bx, bx + 4):
                    word |= ((a[y * w + x] if x < w and y < h else 0) >> 4) << (4 * (x - bx))
                blocks += struct.pack("<H", word)
            blocks += data[16 * k + 8:16 * k + 16]
            k += 1
    return dds(w, h, 0, None, bytes(blocks), b"DXT3")


def ras_map_of_255(ras):
    """A Sun raster of 255 colours with its map cut to them (pnmtorast writes 256 entries)."""
    length = struct.unpack_from(">I", ras, 28)[0]
    if length != 768:
        return ras
    planes = ras[32:32 + 768]
    out = bytearray(ras[:32] + planes[0:255] + planes[256:511] + planes[512:767] + ras[32 + 768:])
    struct.pack_into(">I", out, 28, 765)
    return bytes(out)


def reader_formats(c, d, size):
    """Formats the library reads but does not write, made by other tools or by hand."""
    n, sm, (w, h) = size_name(size), "s" if size == SMALL else "m", size
    pbm, pgm, ppm = encoded(PBMRAW, d("1")), encoded(PGMRAW, d("grey")), encoded(PPMRAW, d("24"))
    ppm4, ppm8, ppm255 = encoded(PPMRAW, d("4-as-24")), encoded(PPMRAW, d("8-as-24")), encoded(PPMRAW, d("8-255-as-24"))
    png24, png32 = encoded(PNG, d("24")), encoded(PNG, d("32"))

    for depth, argv, data in (("1", [], pbm), ("4", [], ppm4), ("8", ["-8bit"], ppm8), ("24", ["-24bit"], ppm)):
        c.tool("pcx-%s-%s.pcx" % (depth, n), size, ["ppmtopcx"] + argv, data)

    for mode, depth, data, sizes in (("rle", "grey", pgm, "s"), ("verbatim", "grey", pgm, "sm"), ("rle", "24", ppm, "sm"),
                                     ("verbatim", "24", ppm, "s")):
        if sm in sizes:
            c.tool("sgi-%s-%s-%s.sgi" % (mode, depth, n), size, ["pnmtosgi", "-" + mode], data)
    c.tool("sgi-rle-32-%s.sgi" % n, size, ["convert", "png:-", "-compress", "RLE", "sgi:-"], png32)

    for mode in ("rle", "standard"):
        c.tool("ras-%s-1-%s.ras" % (mode, n), size, ["pnmtorast", "-" + mode], pbm)
        c.tool("ras-%s-24-%s.ras" % (mode, n), size, ["pnmtorast", "-" + mode], ppm)
    rle8 = subprocess.run(["pnmtorast", "-rle"], input=ppm255, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    c.write("ras-rle-8-%s.ras" % n, ras_map_of_255(rle8), size)
    c.tool("ras-standard-8-%s.ras" % n, size, ["convert", "ppm:-", "-type", "Palette", "sun:-"], ppm255)
    if sm == "s":
        c.tool("ras-rle-8-256-entry-map-%s.ras" % n, size, ["pnmtorast", "-rle"], ppm8, refused=RAS_FULL_MAP,
               check=False)

    bgr, alpha = d.p.bgr, d.p.alpha
    c.write("dds-rgb-24-%s.dds" % n, dds(w, h, 24, (0xFF0000, 0xFF00, 0xFF, 0), bgr), size)
    argb = bytearray(4 * w * h)
    for i in range(3):
        argb[i::4] = bgr[i::3]
    argb[3::4] = alpha
    c.write("dds-argb-32-%s.dds" % n, dds(w, h, 32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000), bytes(argb)), size)
    c.write("dds-rgb565-16-%s.dds" % n, dds(w, h, 16, (0xF800, 0x7E0, 0x1F, 0), rows_of(d("16-565"), 2 * w)), size)
    # ImageMagick compresses whole blocks only: the picture padded to them, its own size put back.
    padded = "%dx%d" % ((w + 3) & ~3, (h + 3) & ~3)
    for kind, data in (("dxt1", png24), ("dxt5", png32)):
        run = subprocess.run(["convert", "png:-", "-background", "black", "-extent", padded, "-define",
                              "dds:compression=" + kind, "-define", "dds:mipmaps=0", "dds:-"],
                             input=data, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        block = bytearray(run.stdout)
        struct.pack_into("<II", block, 12, h, w)
        # The library (and the probe with it) reads whole blocks only: 36 x 20 of a 37 x 23.
        blocks = (w & ~3, h & ~3)
        c.write("dds-%s-%s.dds" % (kind, n), bytes(block), blocks)
        if kind == "dxt5":
            c.write("dds-dxt3-%s.dds" % n, dxt3(d, bytes(block)), blocks)

    c.tool("xbm-1-%s.xbm" % n, size, ["pbmtoxbm"], pbm)
    c.tool("pict-8-%s.pict" % n, size, ["convert", "ppm:-", "-type", "Palette", "pict:-"], ppm8)
    c.tool("pict-24-%s.pict" % n, size, ["convert", "png:-", "pict:-"], png24)
    if sm == "s":
        c.tool("pict-32-%s.pict" % n, size, ["convert", "png:-", "pict:-"], png32)

    for name, argv, data, sizes in (("ilbm-1", [], pbm, "s"), ("ilbm-4", [], ppm4, "s"),
                                    ("ilbm-8", ["-fixplanes", "8"], ppm8, "sm"),
                                    ("ilbm-uncompressed-8", ["-nocompress", "-fixplanes", "8"], ppm8, "s"),
                                    ("ilbm-24", ["-24force"], ppm, "sm")):
        if sm in sizes:
            c.tool("iff-%s-%s.iff" % (name, n), size, ["ppmtoilbm"] + argv, data)
    c.write("iff-pbm-8-%s.lbm" % n, iff_pbm(d, True), size)
    if sm == "s":
        c.write("iff-pbm-uncompressed-8-%s.lbm" % n, iff_pbm(d, False), size)

    c.tool("mng-24-%s.mng" % n, size, ["convert", "png:-", "mng:-"], png24)
    if sm == "s":
        c.tool("mng-32-%s.mng" % n, size, ["convert", "png:-", "mng:-"], png32)
        c.tool("psd-grey-%s.psd" % n, size, ["convert", "png:-", "psd:-"], encoded(PNG, d("grey")))
        c.tool("psd-bilevel-%s.psd" % n, size, ["convert", "png:-", "-type", "Bilevel", "psd:-"], encoded(PNG, d("1")))
        c.write("cut-grey-%s.cut" % n, cut(d), size)
        jxr(c, d, size)
    else:
        c.tool("psd-grey-%s.psd" % n, size, ["convert", "png:-", "psd:-"], encoded(PNG, d("grey")))
        for sampling, name in (("2x2", "420"), ("2x1", "422"), ("1x1", "444")):
            c.tool("jpeg-cjpeg-progressive-%s-24-%s.jpg" % (name, n), size,
                   ["cjpeg", "-quality", "85", "-progressive", "-sample", sampling], ppm)
        c.tool("jpeg-cjpeg-progressive-grey-%s.jpg" % n, size, ["cjpeg", "-quality", "85", "-progressive"], pgm)
        c.tool("jpeg-jpegtran-progressive-422-24-%s.jpg" % n, size, ["jpegtran", "-progressive"],
               encoded(JPEG, d("24"), JPEG_QUALITYGOOD | JPEG_SUBSAMPLING_422))
        c.tool("jpeg-imagemagick-cmyk-%s.jpg" % n, size, ["convert", "png:-", "-colorspace", "CMYK", "jpg:-"], png24)
        c.tool("pcd-24-768x512.pcd", (768, 512), ["convert", "png:-", "-resize", "768x512!", "pcd:-"], png24)


def jxr(c, d, size):
    """JPEG XR made with JxrEncApp, which reads only named files: its input is written beside
    its output for the while."""
    source = c.path(".jxr-source.bmp", refused=JXR_BROKEN)
    with open(source, "wb") as f:
        f.write(encoded(BMP, d("24")))
    for name, quality in (("lossy", "0.8"), ("lossless", "1.0")):
        name = "jxr-%s-24-%s.jxr" % (name, size_name(size))
        run = subprocess.run(["JxrEncApp", "-i", source, "-o", c.path(name, JXR_BROKEN), "-c", "0", "-q", quality],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if run.returncode == 0:
            c.done(name, size, refused=JXR_BROKEN, check=False)
        else:
            c.left_out.append((name, "not made: JxrEncApp failed"))
    os.remove(source)


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        sys.exit("usage: tools/make-picture-corpus.py OUT_DIR")
    out = sys.argv[1]
    if os.path.exists(out) and os.listdir(out):
        sys.exit("make-picture-corpus.py: %s is not empty" % out)
    for tool in ("convert", "ppmtopcx", "pnmtosgi", "pnmtorast", "ppmtoilbm", "pbmtoxbm", "cjpeg", "jpegtran",
                 "JxrEncApp"):
        if not shutil.which(tool):
            sys.exit("make-picture-corpus.py: %s is needed (apt-get install imagemagick netpbm libjpeg-turbo-progs "
                     "libjxr-tools)" % tool)
    os.makedirs(out, exist_ok=True)
    # The TIFF library writes its warnings straight to standard error; they say nothing here.
    quiet = os.open(os.devnull, os.O_WRONLY)
    own_stderr = os.dup(2)
    os.dup2(quiet, 2)
    try:
        c = Corpus(out)
        for size, seed in ((SMALL, 1), (MEDIUM, 2), (A4, 3)):
            d = Depths(size, seed)
            if size == A4:
                scans(c, d)
            else:
                library_formats(c, d, size)
                reader_formats(c, d, size)
            d.free()
        c.write("koala-320x200.koa", koala(), (320, 200))
    finally:
        os.dup2(own_stderr, 2)

    by_format = collections.Counter(name.split("-", 1)[0] for name in c.made)
    print("%d pictures in %s" % (len(c.made), out))
    print("  " + ", ".join("%s %d" % kv for kv in sorted(by_format.items())))
    print("left out (%d):" % len(c.left_out))
    for name, why in c.left_out:
        print("  %s: %s" % (name, why))


if __name__ == "__main__":
    main()
