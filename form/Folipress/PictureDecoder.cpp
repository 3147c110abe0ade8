#include "PictureDecoder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "DecoderProcess.h"
#include "DecoderProtocol.h"
#include "forms/App.h"
#include "pdfwrite/PageImage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

namespace PictureDecoder {

namespace {

using End = DecoderProcess::End;

// A descriptor that closes itself.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// The picture opened for the decoder: a regular file with something in it, or -1. A name that
// leads to a pipe or a device is not waited on.
int openPicture(const QString& winPath) {
    const QByteArray host = win::toHostPath(winPath).toLocal8Bit();
    const int fd = ::open(host.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

QString extensionOf(const QString& winPath) {
    const QString name = winPath.mid(winPath.lastIndexOf('\\') + 1);
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

Result failed(Outcome outcome, const QString& why) {
    Result r;
    r.outcome = outcome;
    r.why = why;
    return r;
}

// A decoder that did not end with status 0, in the outcome the run reports.
Result endedBadly(const End& end) {
    switch (end.kind) {
        case End::NotStarted:
            return failed(Outcome::NotStarted, QString::fromLocal8Bit(std::strerror(end.code)));
        case End::TimedOut:
            return failed(Outcome::TimedOut, QString());
        case End::Signalled:
            if (end.code == SIGXCPU) return failed(Outcome::TimedOut, QString());
            return failed(Outcome::Failed, "ended by signal " + QString::number(end.code));
        case End::Exited:
            break;
    }
    switch (end.code) {
        case DecoderProtocol::kCutOff:
            return failed(Outcome::CutOff, QString());
        case DecoderProtocol::kUnreadable:
        case DecoderProtocol::kSizeDiffers:
        case DecoderProtocol::kNotWritten:
            return failed(Outcome::NotPicture, QString());
        default:
            return failed(Outcome::Failed, "exit status " + QString::number(end.code));
    }
}

std::unique_ptr<DecoderProcess> startDecoder(const QStringList& arguments, int input, int output,
                                             int wallSeconds) {
    return std::make_unique<DecoderProcess>(win::toHostPath(programPath()),
                                            QStringList{DecoderProtocol::kProgramName} + arguments,
                                            input, output, wallSeconds);
}

// True when the file is the page bitmap asked for, in the one form the page writer reads
// straight from the file and never decodes, with nothing more: exactly width x height pixels,
// bottom-up, right behind a 40-byte header (and the grey ramp), and exactly as long as its rows.
bool isPageBitmap(int fd, long long width, long long height, bool& grey) {
    pdfbox::PlainBitmap b;
    if (!pdfbox::readPlainBitmap(fd, b)) return false;
    grey = b.grey;
    const std::uint32_t pixels = b.grey ? 54 + 1024 : 54;
    return b.infoSize == 40 && b.pixels == pixels && b.bottomUp && b.width == width &&
           b.height == height && b.fileSize == pixels + b.stride * b.height &&
           b.declaredSize == b.fileSize;
}

}  // namespace

QString programPath() { return forms::App::path() + "\\" + DecoderProtocol::kProgramName; }

Result probe(const QString& pictureWinPath) {
    const Fd picture(openPicture(pictureWinPath));
    if (picture.fd < 0) return failed(Outcome::NotPicture, QString());
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return failed(Outcome::NotStarted, QString::fromLocal8Bit(std::strerror(errno)));
    const Fd answerEnd(ends[0]);
    End end;
    {
        const Fd decoderEnd(ends[1]);
        end = startDecoder({"probe", QString::number(::getpid()), extensionOf(pictureWinPath)},
                           picture.fd, decoderEnd.fd,
                           DecoderProtocol::wallSeconds(DecoderProtocol::kProbeSeconds))
                  ->wait();
    }
    if (end.kind != End::Exited || end.code != DecoderProtocol::kDone) return endedBadly(end);

    // The decoder has ended and both writing ends are closed: the answer is all there.
    char text[256];
    ssize_t got = 0;
    while (got < ssize_t(sizeof text)) {
        const ssize_t n = ::read(answerEnd.fd, text + got, sizeof text - size_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    DecoderProtocol::Answer answer;
    if (!DecoderProtocol::fromLine(std::string_view(text, size_t(got)), answer))
        return failed(Outcome::Failed, QStringLiteral("no answer"));
    Result r;
    r.format = answer.format;
    r.formatName = QString::fromStdString(answer.formatName);
    r.size = answer.size;
    if (answer.format < 0 || (answer.size.knowable && !answer.size.known)) r.outcome = Outcome::NotPicture;
    else if (answer.size.known && (answer.size.tooLarge() || answer.size.tooLong())) r.outcome = Outcome::TooLarge;
    else if (!answer.size.known) r.outcome = Outcome::Sizeless;
    else r.outcome = Outcome::Done;
    return r;
}

PageDecoding::PageDecoding(const Result& probed, const QString& pictureWinPath, const QString& bitmapWinPath)
    : probed_(probed), bitmapWinPath_(bitmapWinPath), failed_(failed(Outcome::NotPicture, QString())) {
    const long long width = probed.size.width, height = probed.size.height;
    if (probed.outcome != Outcome::Done || width <= 0 || height <= 0 || probed.size.tooLarge() ||
        probed.size.tooLong())
        return;
    const Fd picture(openPicture(pictureWinPath));
    if (picture.fd < 0) return;
    try {
        // Unnamed until it is whole and checked: the file at bitmapWinPath stays as it is (the
        // page before may be drawn from it meanwhile).
        bitmap_ = std::make_unique<win::FileReplacement>(bitmapWinPath);
    } catch (const win::RuntimeError&) {
        return;
    }
    process_ = startDecoder({"decode", QString::number(::getpid()), QString::number(probed.format),
                             QString::number(width), QString::number(height)},
                            picture.fd, bitmap_->fd(),
                            DecoderProtocol::wallSeconds(DecoderProtocol::decodeSeconds(width, height)));
}

PageDecoding::~PageDecoding() = default;

Result PageDecoding::finish() {
    if (!process_) return failed_;
    const End end = process_->wait();
    process_.reset();
    if (end.kind != End::Exited || end.code != DecoderProtocol::kDone) return endedBadly(end);
    Result r;
    if (!isPageBitmap(bitmap_->fd(), probed_.size.width, probed_.size.height, r.grey))
        return failed(Outcome::Failed, QStringLiteral("it wrote a damaged bitmap"));
    // The old bitmap goes first: renaming a file over another makes the file system write the
    // new one out to the disk at once, which for a page bitmap costs more than writing it.
    win::skipOnError([&] { win::killFile(bitmapWinPath_); });
    try {
        bitmap_->commit();
    } catch (const win::RuntimeError&) {
        return failed(Outcome::NotPicture, QString());
    }
    r.outcome = Outcome::Done;
    r.format = probed_.format;
    r.formatName = probed_.formatName;
    r.size = probed_.size;
    return r;
}

Result decode(const Result& probed, const QString& pictureWinPath, const QString& bitmapWinPath) {
    return PageDecoding(probed, pictureWinPath, bitmapWinPath).finish();
}

}  // namespace PictureDecoder
