#pragma once
// The conversion run's pictures, read by the decoder program (decoder/DecoderProtocol.h) and
// never in this process: one start to learn a picture's format and size, one to decode it into
// the page bitmap. Nothing the decoder says counts until its end, its answer and the bitmap it
// wrote have been checked.
#include <QString>

#include <memory>

#include "PictureSize.h"

class DecoderProcess;
namespace win {
class FileReplacement;
}

namespace PictureDecoder {

enum class Outcome {
    Done,
    NotPicture,  // missing, empty, no picture the library reads, or damaged
    CutOff,      // its data ends before the picture does
    TooLarge,    // its header gives more pixels than the bound, or a side longer than a page's
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

// A picture being decoded into the page bitmap while its caller goes on (writing the page before
// it, say).
class PageDecoding {
public:
    // Starts the decoder on the picture; `probed` is its probe.
    PageDecoding(const Result& probed, const QString& pictureWinPath, const QString& bitmapWinPath);
    // A decoder not waited for is ended, and what it wrote is dropped.
    ~PageDecoding();
    PageDecoding(const PageDecoding&) = delete;
    PageDecoding& operator=(const PageDecoding&) = delete;

    // Waits for the decoder, checks the bitmap it wrote, and lets it replace the file at
    // `bitmapWinPath`.
    Result finish();

private:
    Result probed_;
    QString bitmapWinPath_;
    Result failed_;  // why it could not start
    std::unique_ptr<win::FileReplacement> bitmap_;
    std::unique_ptr<DecoderProcess> process_;
};

// The picture decoded into the page bitmap at once.
Result decode(const Result& probed, const QString& pictureWinPath, const QString& bitmapWinPath);

}  // namespace PictureDecoder
