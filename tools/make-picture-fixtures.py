#!/usr/bin/env python3
"""Regenerates the picture fixtures under tests/data/pictures/: small pictures of the formats
whose size the image library gives only by decoding them, headers that claim a huge picture in a
small frame, and damaged or cut-off files. Needs python3 and the FreeImage library (for the
formats it writes); not part of the normal setup."""
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


def pict(w, h, frame_w, frame_h, rows=True):
    """A direct pixel map of one colour, packed per component (rows left out: header only)."""
    p = (pict_header(frame_w, frame_h) + be("HI", 0x9A, 0xFF) + be("H", (0x8000 | (w * 4)) & 0xFFFF) + rect(w, h)
         + be("HHI", 0, 4, 0) + be("II", 72 << 16, 72 << 16) + be("4H", 16, 32, 3, 8) + bytes(12)
         + rect(w, h) + rect(frame_w, frame_h) + be("H", 0))
    run = bytes([(257 - w) & 0xFF, 0x80])  # one value across a row
    return pict_end(p + (bytes([6]) + run * 3) * h * rows)


def quicktime_pict(w, h):
    """A JPEG inside a PICT, as QuickTime compresses one."""
    data = bytes(68) + be("I", 86) + b"jpeg" + bytes(78) + saved(FIF_JPEG, w, h)
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
            + bytes(12) + b"D" * (w * h * 3))


def xbm(w, h):
    bits = ",".join(["0x55"] * ((w + 7) // 8 * h))
    return ("#define scan_width %d\n#define scan_height %d\nstatic char scan_bits[] = {\n%s};\n" % (w, h, bits)).encode()


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
}
os.makedirs(OUT, exist_ok=True)
for name, data in fixtures.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
