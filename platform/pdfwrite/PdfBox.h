#pragma once
// The PDF-writing box library: a box collects properties, then BeginDoc .. EndDoc writes one
// document. Built on libharu; page images are embedded as JPEG streams exactly as encoded here.
//
// Every call but CreateBox and FreeBox answers -1 on failure; GetErrorMsg then gives the reason.
// Strings (file names, texts) are in the ANSI code page; file names are Windows paths.
//
// Properties (SetNumProp / SetStrProp). Values are checked when set; the page size is taken at
// BeginDoc, the compression and quality when a picture is drawn.
//
//  id  kind  meaning                                                   default
//  10  str   output file; EndDoc writes the document there              none (EndDoc fails)
//  14  str   Creator entry of the document information                 ""
//  24  num   TextOut font: 1 bold, 0 regular                            0
//  25  num   TextOut colour, 0x00BBGGRR                                 0 (black)
//  28  num   TextOut font size in points, 1 to 1000                     10
//  31  num   unit of page sizes and drawing coordinates:                0
//              0 points (1/72 inch), 1 millimetres, 2 tenths of a millimetre
//  34  num   page height in the unit of property 31, above 0             842 (A4 in points)
//  36  num   page width in the unit of property 31, above 0              595
//  44  num   output-name check: 1 defers it while the name is changed;  0
//              0 checks now (and for every later name) that the output
//              file's folder exists
//  45  num   JPEG quality of drawn pictures, 0 (smallest) to 100 (best) 75
//              (from 80 on the colour channels keep full resolution)
//  51  num   picture compression: 0 none, 1 Flate (lossless),           2
//              2 JPEG at the quality of property 45
//  52  num   compression of the other streams: 0 none,                  0
//              1 page content Flate, 2 page content and metadata Flate
//
// A page side above 14400 points fails (the PDF limit); one below 3 points, the smallest side
// a PDF page may have, is raised to 3 points, and what is drawn keeps its own size.
// Coordinates of drawing calls have their origin at the page's top left corner, y downward.
// A grey picture (8-bit greys, a palette of greys only, 16-bit grey) is drawn as one grey
// channel; any other as red, green and blue.
#include <cstdint>

namespace pdfbox {

enum Property : int32_t {
    kOutputFile = 10,
    kCreator = 14,
    kTextBold = 24,
    kTextColor = 25,
    kFontSize = 28,
    kUnit = 31,
    kPageHeight = 34,
    kPageWidth = 36,
    kDeferNameCheck = 44,
    kJpegQuality = 45,
    kPictureCompression = 51,
    kStreamCompression = 52,
};

enum Unit : int32_t { kPoints = 0, kMillimetres = 1, kTenthMillimetres = 2 };
enum PictureCompression : int32_t { kPictureNone = 0, kPictureFlate = 1, kPictureJpeg = 2 };

}  // namespace pdfbox

// A new box with default properties; its handle (above 0), or -1 when none can be made. The
// owner window is not used: the library shows nothing.
int32_t CreateBox(intptr_t ownerWindow, int32_t flags);
int32_t SetNumProp(int32_t box, int32_t id, int32_t value);
int32_t SetStrProp(int32_t box, int32_t id, const char* text);
// Starts the document with one page of the box's page size.
int32_t BeginDoc(int32_t box);
// Draws a picture file (any format the image library reads) stretched to fill the rectangle.
int32_t StretchDrawFromFile(int32_t box, int32_t x, int32_t y, int32_t width, int32_t height,
                            const char* fileName);
// Writes a line of text with its top left corner at (x, y), in the font of properties 24 and 28.
int32_t TextOut(int32_t box, int32_t x, int32_t y, const char* text);
// Writes the document to the output file (replacing it) and closes the document.
int32_t EndDoc(int32_t box);
// Releases the box and any unfinished document.
int32_t FreeBox(int32_t box);
// Copies the text of the last failure (ANSI, NUL-terminated, cut to fit) into the buffer;
// returns its length, or -1 for a missing buffer.
int32_t GetErrorMsg(char* buffer, int32_t size);
