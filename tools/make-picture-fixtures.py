#!/usr/bin/env python3
"""Regenerates the picture fixtures under tests/data/pictures/: small pictures of the formats
whose size the image library gives only by decoding them, headers that claim a huge picture in a
small frame, damaged or cut-off files, and pictures made to mislead the library (hostile-*).
Needs python3 and the FreeImage library (for the formats it writes); not part of the normal
setup."""
import ctypes
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "pictures")
FIF_JPEG, FIF_PNG, FIF_WBMP, FIF_J2K, FIF_JP2 = 2, 13, 19, 30, 31

fi = ctypes.CDLL("libfreeimage.so.3")
fi.FreeImage_Initialise(0)
for name in ("FreeImage_Allocate", "FreeImage_Threshold", "FreeImage_OpenMemory"):
    getattr(fi, name).restype = ctypes.c_void_p


def saved(fif, w, h):
    """A black w x h picture as the library saves it."""
    dib = fi.FreeImage_Allocate(w, h, 24, 0, 0, 0)
    if fif == FIF_WBMP:
        dib = fi.FreeImage_Threshold(ctypes.c_void_p(dib), 128)
    memory = ctypes.c_void_p(fi.FreeImage_OpenMemory(None, 0))
    assert fi.FreeImage_SaveToMemory(fif, ctypes.c_void_p(dib), memory, 0)
    data, size = ctypes.POINTER(ctypes.c_ubyte)(), ctypes.c_uint32()
    fi.FreeImage_AcquireMemory(memory, ctypes.byref(data), ctypes.byref(size))
    out = bytes(data[: size.value])
    fi.FreeImage_CloseMemory(memory)
    return out


def be(fmt, *v):
    return struct.pack(">" + fmt, *v)


def rect(w, h):
    return be("4H", 0, 0, h, w)


def pict_header(frame_w, frame_h):
    """The 512-byte Mac header, picture size and frame, version 2 and its header opcode."""
    return (bytes(512) + be("H", 0) + rect(frame_w, frame_h) + be("HH", 0x0011, 0x02FF)
            + be("HHH", 0x0C00, 0xFFFE, 0) + be("II", 72 << 16, 72 << 16) + rect(frame_w, frame_h) + be("I", 0))


def pict_end(p):
    return p + bytes(len(p) & 1) + be("H", 0xFF)


def pict(w, h, frame_w, frame_h, rows=True, bounds=None, pixel=(16, 32, 3, 8)):
    """A direct pixel map of one colour, packed per component (rows left out: header only)."""
    p = (pict_header(frame_w, frame_h) + be("HI", 0x9A, 0xFF) + be("H", (0x8000 | (w * 4)) & 0xFFFF)
         + (bounds or rect(w, h)) + be("HHI", 0, 4, 0) + be("II", 72 << 16, 72 << 16) + be("4H", *pixel) + bytes(12)
         + rect(w, h) + rect(frame_w, frame_h) + be("H", 0))
    run = bytes([(257 - w) & 0xFF, 0x80])  # one value across a row
    return pict_end(p + (bytes([6]) + run * 3) * h * rows)


def quicktime_pict(w, h, jpeg=None):
    """A JPEG inside a PICT, as QuickTime compresses one."""
    data = bytes(68) + be("I", 86) + b"jpeg" + bytes(78) + (jpeg or saved(FIF_JPEG, w, h))
    return pict_end(pict_header(w, h) + be("HI", 0x8200, len(data)) + data)


def chunk(kind, data):
    return be("I", len(data)) + kind + data + be("I", zlib.crc32(kind + data))


def mng(frame_w, frame_h, w, h):
    """An MNG whose first picture is a w x h PNG (its header alone when it is large)."""
    picture = (saved(FIF_PNG, w, h)[8:] if w * h < 100000
               else chunk(b"IHDR", be("II", w, h) + bytes([8, 2, 0, 0, 0])))
    return (b"\x8aMNG\r\n\x1a\n" + chunk(b"MHDR", be("7I", frame_w, frame_h, 1, 0, 0, 0, 0)) + picture
            + chunk(b"MEND", b""))


def sgi(w, h):
    return (be("HBBHHHHII", 474, 0, 1, 3, w, h, 3, 0, 255)).ljust(512, b"\0") + b"S" * (w * h * 3)


def dds(w, h):
    le = lambda *v: struct.pack("<%dI" % len(v), *v)
    return (b"DDS " + le(124, 0x100F, h, w, w * 3) + bytes(52) + le(32, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0x1000)
            + bytes(16) + b"D" * (w * h * 3))


def xbm(w, h):
    bits = ",".join(["0x55"] * ((w + 7) // 8 * h))
    return ("#define scan_width %d\n#define scan_height %d\nstatic char scan_bits[] = {\n%s};\n" % (w, h, bits)).encode()


def jpeg_sized(w, h, fill=b"", comment=b""):
    """A small JPEG whose frame header says w x h: the decoder fills what its data lacks. Fill
    bytes may come before the frame header, and a comment after it."""
    small = saved(FIF_JPEG, 8, 8)
    sof = small.index(b"\xff\xc0")
    frame = small[sof:sof + 5] + be("HH", h, w) + small[sof + 9:sof + 2 + be_int(small[sof + 2:sof + 4])]
    rest = small[2:sof] + small[sof + len(frame):]
    note = be("BBH", 0xFF, 0xFE, len(comment) + 2) + comment if comment else b""
    return b"\xff\xd8" + fill + frame + note + rest


def be_int(b):
    return int.from_bytes(b, "big")


def jng_mng(jhdr_w, jhdr_h, jpeg):
    """An MNG whose first picture is a JNG: its header's size, and its JPEG in two data chunks
    split inside the frame header."""
    cut = jpeg.index(b"\xff\xc0") + 5
    return (b"\x8aMNG\r\n\x1a\n" + chunk(b"MHDR", be("7I", jhdr_w, jhdr_h, 1, 0, 0, 0, 0))
            + chunk(b"JHDR", be("II", jhdr_w, jhdr_h) + bytes([10, 8, 8, 0, 0, 0, 0, 0]))
            + chunk(b"JDAT", jpeg[:cut]) + chunk(b"JDAT", jpeg[cut:]) + chunk(b"IEND", b"") + chunk(b"MEND", b""))


def misled_jpeg(w, h):
    """A w x h JPEG with a fill byte before its frame header; a walk that takes the fill byte for
    a marker reads the frame header's code as a length and lands in the comment, on a 1 x 1 frame."""
    fake = b"\xff\xc0\x00\x0b\x08\x00\x01\x00\x01\x01\x01\x11\x00"
    at = 0xC000 + 4 - 26  # where that walk lands, within the comment's text
    return jpeg_sized(w, h, fill=b"\xff", comment=bytes(at) + fake + bytes(64))


def iff(w, h, body=True):
    """An 8-plane ILBM of w x h, its body left out or not (its form's size counts it either way)."""
    bmhd = be("HHhhBBBBHBBhh", w, h, 0, 0, 8, 0, 0, 0, 0, 1, 1, w, h)
    cmap = bytes(range(256)) * 3
    pixels = bytes(((w + 15) // 16 * 2) * 8 * h)
    chunks = b"BMHD" + be("I", 20) + bmhd + b"CMAP" + be("I", len(cmap)) + cmap
    return b"FORM" + be("I", 4 + len(chunks) + 8 + len(pixels)) + b"ILBM" + chunks + (
        b"BODY" + be("I", len(pixels)) + pixels if body else b"")


def ras(w, h):
    """A 24-bit Sun raster of plain rows, each padded to 16 bits."""
    row = bytes((x * 9 + 40) & 0xFF for x in range(w * 3)) + bytes((w * 3) & 1)
    return be("8I", 0x59A66A95, w, h, 24, len(row) * h, 1, 0, 0) + row * h


def pcx(w, h):
    """A 256-colour PCX: run-length rows of one index each, then the palette."""
    line = w + (w & 1)
    header = (bytes([10, 5, 1, 8]) + struct.pack("<4H", 0, 0, w - 1, h - 1) + bytes(53) + bytes([1])
              + struct.pack("<HH", line, 1)).ljust(128, b"\0")
    rows = b"".join(bytes([0xC0 | line, y * 7 & 0xFF]) if line < 64 else b"" for y in range(h))
    return header + rows + b"\x0c" + bytes(range(256)) * 3


def wbmp(head, w, h):
    """A WBMP: type 0, the given fixed and extension header bytes, its sizes as multi-byte numbers."""
    def number(n):
        out = [n & 0x7F]
        n >>= 7
        while n:
            out.insert(0, 0x80 | (n & 0x7F))
            n >>= 7
        return bytes(out)
    return b"\x00" + head + number(w) + number(h)


def dds_sized(w_field, h_field, pixels):
    """A DDS of 24-bit pixels whose size fields hold the given 32-bit values."""
    le = lambda *v: struct.pack("<%dI" % len(v), *v)
    return (b"DDS " + le(124, 0x100F, h_field, w_field, (w_field * 3) & 0xFFFFFFFF) + bytes(52)
            + le(32, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0x1000) + bytes(12) + pixels)


def xbm_text(defines, declaration, numbers):
    return ("".join("#define %s %s\n" % d for d in defines) + declaration + " = {\n" + numbers).encode()


j2k = saved(FIF_J2K, 48, 64)
fixtures = {
    # Pictures that convert, and their size.
    "scan.jp2": saved(FIF_JP2, 72, 48),
    "scan.j2k": j2k,
    "scan.sgi": sgi(13, 7),
    "scan.dds": dds(14, 9),
    "scan.wbmp": saved(FIF_WBMP, 21, 11),
    "scan.xbm": xbm(19, 5),
    "scan.pict": pict(17, 6, 170, 60),
    "quicktime.pict": quicktime_pict(33, 21),
    "scan.koa": b"\x00\x60" + b"\x11" * 10001,
    "scan.mng": mng(300, 300, 23, 15),
    "scan.iff": iff(19, 5),
    "scan.ras": ras(19, 5),
    "scan.pcx": pcx(19, 5),
    # A small frame around a huge picture: the picture counts.
    "bomb.mng": mng(13, 7, 30000, 30000),
    "bomb.pict": pict(30000, 30000, 13, 7, rows=False),
    "bomb.j2k": j2k[:8] + be("II", 30000, 30000) + j2k[16:],
    # Damaged headers, and files the library would read without end.
    "cut.j2k": j2k[:20],
    "cut.jp2": saved(FIF_JP2, 72, 48)[:60],
    "notes.wbmp": b"a note, not a picture",
    "cut.sgi": sgi(13, 7)[:10],
    "empty.pict": pict(0, 0, 13, 7),
    "nodefine.xbm": b"#define scan_width 8\nstatic char scan_bits[] = {\n0x00};\n",
    "cut.xbm": xbm(19, 5)[:-20],
    "sameline.xbm": xbm(19, 5).replace(b"{\n", b"{"),
    "cut.pict": pict(17, 6, 17, 6)[:-12],
    # Pictures made to mislead the library (what it does with each), each under 64 KB.
    # DDS size fields of 2^32 - 20000: taken as -20000, decoded 20000 x 20000 (1.2 GB).
    "hostile-wrap.dds": dds_sized(2**32 - 20000, 2**32 - 20000, b""),
    # DDS width field of 2^32 - 14: a bitmap 14 wide, into whose first row the whole file is read.
    "hostile-negative.dds": dds_sized(2**32 - 14, 9, b"D" * (14 * 9 * 3)),
    # WBMP sizes of 2^32 + 30000, products past 2^64: cut to 16 bits, decoded 30000 x 30000.
    "hostile-wrap.wbmp": wbmp(b"\x00", 2**32 + 30000, 2**32 + 30000),
    # WBMP extension header (one bit-field number): decoded 65535 x 65535, 1 x 65535 if misread.
    "hostile-extension.wbmp": wbmp(b"\x80\x00\x01", 65535, 65535),
    # XBM sizes whose products wrap in 64 bits; cut to ints, they make the library wait for 10516 numbers.
    "hostile-overflow.xbm": xbm_text([("o_width", 499097632142), ("o_height", 294756883610)],
                                     "static char o_bits[]", "};\n"),
    # XBM with two pairs of size lines: the library takes the last (4000 x 4000) and waits for its numbers.
    "hostile-twosizes.xbm": xbm_text([("a_width", 8), ("a_height", 1), ("b_width", 4000), ("b_height", 4000)],
                                     "static char a_bits[]", "0x00};\n"),
    # XBM of bytes with "short" in its names: 8 numbers needed, 4 there (enough as 16-bit words); the library waits.
    "hostile-short.xbm": xbm_text([("short_width", 16), ("short_height", 4)], "static char short_bits[]",
                                  "0x00,0x00,0x00,0x00};\n"),
    # XBM cut off inside its last number ("0x"): the library waits for the rest.
    "hostile-cutnumber.xbm": xbm_text([("c_width", 8), ("c_height", 2)], "static char c_bits[]", "0x00,0x"),
    # IFF 1000 x 36 cut off before its body: the library walks chunks past the end without end.
    "hostile-cut.iff": iff(1000, 36, body=False),
    # IFF 8 x 2 cut off before its body: the same, small.
    "hostile-cut-small.iff": iff(8, 2, body=False),
    # MNG holding a JNG whose header says 1 x 1 and whose JPEG says 17000 x 17000: decoded 17000 x 17000.
    "hostile-jng.mng": jng_mng(1, 1, jpeg_sized(17000, 17000)),
    # PICT pixel map with bounds -1..1 high: 65534 rows as the library subtracts (8000 x 65534, 2 GB), 2 as signed.
    "hostile-bounds.pict": pict(8000, 2, 80, 20, rows=False, bounds=be("4H", 0xFFFF, 0, 1, 8000)),
    # PICT QuickTime JPEG of 17000 x 17000 behind a fill byte; a walk misled by it finds a 1 x 1 frame.
    "hostile-fill.pict": quicktime_pict(33, 21, misled_jpeg(17000, 17000)),
    # PICT 17 x 6 pixel map of 1 bit a pixel: each packed byte unpacked as 8, past the bitmap's end.
    "hostile-1bit.pict": pict(17, 6, 17, 6, pixel=(0, 1, 1, 1)),
    # PICT 17 x 6 pixel map of 8 bits and no components: rows of 51 bytes unpacked into rows of 20.
    "hostile-8bit.pict": pict(17, 6, 17, 6, pixel=(0, 8, 0, 8)),
}
os.makedirs(OUT, exist_ok=True)
for name, data in fixtures.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
