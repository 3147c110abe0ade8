#pragma once
// The conversion run's pictures, read by the decoder program (decoder/DecoderProtocol.h) and
// never in this process: one start to learn a picture's format and size, one to decode it into
// the page bitmap. Nothing the decoder says counts until its end, its answer and the bitmap it
// wrote have been checked.
#include <QString>

#include "PictureSize.h"

namespace PictureDecoder {

enum class Outcome {
    Done,
    NotPicture,  // missing, empty, no picture the library reads, or damaged
    TooLarge,    // its header gives more pixels than the bound
    Sizeless,    // its format tells no size before it is decoded
    TimedOut,    // the decoder was still at it when its time was up
    Failed,      // the decoder died, or its answer or bitmap was not whole (`why`)
    NotStarted,  // the decoder could not be started (`why`)
};

struct Result {
    Outcome outcome = Outcome::NotPicture;
    int format = -1;     // the library's format code
    QString formatName;  // its short name ("PNG")
    PictureSize size;    // the header's size (probe); the page bitmap's (decode)
    bool grey = false;   // the page bitmap holds 8-bit greys
    QString why;         // what went wrong, in a few words ("ended by signal 11")
};

// The decoder program: folipress-decoder in the program folder.
QString programPath();

// The picture's format, from its content, and its size, from its header.
Result probe(const QString& pictureWinPath);

// The picture decoded into the page bitmap, replacing the file `bitmapWinPath` once it is whole
// and checked; `probed` is the picture's probe.
Result decode(const Result& probed, const QString& pictureWinPath, const QString& bitmapWinPath);

}  // namespace PictureDecoder
