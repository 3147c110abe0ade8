// Conversion run benchmark host (run.sh drives it).
//   folipress_bench make FOLDER N [--grey]   N A4 scans (2480 x 3508 JPEG, colour or grey):
//                                            FOLDER/scan00.jpg, scan01.jpg, ...
//   folipress_bench make-a3 FILE             one 600 dpi A3 scan (7016 x 9921 JPEG)
//   folipress_bench make-bomb FILE           a grey PNG of 30000 x 30000 pixels (under 1 MB)
//   folipress_bench run [--program-folder DIR] QUALITY OUT.pdf IMAGE...
//        one conversion run of the images through the main window; prints "key value" lines.
//        DIR is a program folder the run may write into (default: a copy of the build's).
//   folipress_bench measure [--memory-limit MB] [--time-limit S] -- COMMAND...
//        runs COMMAND once; prints its wall time, its own peak memory and how it ended
//   folipress_bench psnr SOURCE PAGE_IMAGE [SOURCE PAGE_IMAGE]...
//        PSNR of each page image against its source picture, both decoded the same way
//
// The run's stages are seen from outside, as they happen: the page bitmap (c:\tmp\tmp.bmp)
// closed ends a picture's conversion, the page's own PDF (c:\jpgtmp\N.pdf) closed ends its page
// writing, and the joining with pdftk is what follows the last page until the run returns. (The
// decoder makes each bitmap while the page before is written: conversion is the wait for it.)
#include <FreeImage.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "forms/App.h"
#include "forms/MessageBox.h"
#include "forms/Shell.h"
#include "frmPrinting.h"
#include "win/WinPath.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t0, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

// ---- Test pictures ------------------------------------------------------------------------

// A page of "text": dark strokes in lines on paper-white with a little sensor noise. The line
// pitch follows the width, so an A3 page at 600 dpi looks like an A4 page at 300 dpi.
bool makeScan(const std::string& path, int seed, int w, int h, bool grey) {
    FIBITMAP* dib = FreeImage_Allocate(w, h, grey ? 8 : 24);
    if (!dib) return false;
    if (grey) {
        RGBQUAD* pal = FreeImage_GetPalette(dib);
        for (int i = 0; i < 256; ++i) pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = BYTE(i);
    }
    const double s = w / 2480.0;
    const int margin = int(300 * s), pitch = int(70 * s), top = int(10 * s), bottom = int(44 * s);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    std::uniform_int_distribution<int> word(int(40 * s), int(260 * s));
    for (int y = 0; y < h; ++y) {
        BYTE* line = FreeImage_GetScanLine(dib, h - 1 - y);
        const int row = (y - margin) % pitch;
        const bool textBand = y > margin && y < h - margin && row > top && row < bottom;
        int x = 0;
        while (x < w) {
            const int len = word(rng);
            const bool ink = textBand && x > int(250 * s) && x < w - int(250 * s) &&
                             ((int(x / (13 * s)) + int(y / (7 * s)) + seed) % 5 != 0);
            for (int k = 0; k < len && x < w; ++k, ++x) {
                const bool dark =
                    ink && (k < len - int(30 * s)) && ((int(k / (3 * s)) + row) % 4 != 0);
                const int v = std::clamp((dark ? 40 : 245) + noise(rng), 0, 255);
                if (grey) {
                    line[x] = BYTE(v);
                } else {
                    line[3 * x + 0] = BYTE(v);
                    line[3 * x + 1] = BYTE(v);
                    line[3 * x + 2] = BYTE(std::min(255, v + 3));
                }
            }
        }
    }
    const bool ok = FreeImage_Save(FIF_JPEG, dib, path.c_str(), 85) == TRUE;
    FreeImage_Unload(dib);
    return ok;
}

// A decompression bomb: a plain grey PNG of side x side pixels, deflated row by row so that
// making it never holds the picture.
bool makeBomb(const std::string& path, unsigned side) {
    std::vector<unsigned char> idat;
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) return false;
    std::vector<unsigned char> row(side + 1, 255), chunk(1 << 16);
    row[0] = 0;  // filter: none
    for (unsigned y = 0; y < side; ++y) {
        z.next_in = row.data();
        z.avail_in = uInt(row.size());
        const int flush = y + 1 == side ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = chunk.data();
            z.avail_out = uInt(chunk.size());
            deflate(&z, flush);
            idat.insert(idat.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    auto be32 = [](unsigned v, unsigned char* p) {
        p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = v;
    };
    auto writeChunk = [&](const char* type, const unsigned char* data, unsigned n) {
        unsigned char head[8];
        be32(n, head);
        std::memcpy(head + 4, type, 4);
        unsigned long crc = crc32(0, head + 4, 4);
        if (n) crc = crc32(crc, data, n);
        unsigned char tail[4];
        be32(unsigned(crc), tail);
        std::fwrite(head, 1, 8, f);
        if (n) std::fwrite(data, 1, n, f);
        std::fwrite(tail, 1, 4, f);
    };
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::fwrite(signature, 1, 8, f);
    unsigned char ihdr[13] = {};
    be32(side, ihdr);
    be32(side, ihdr + 4);
    ihdr[8] = 8;  // bits per sample; colour type 0 (grey), no interlace
    writeChunk("IHDR", ihdr, 13);
    writeChunk("IDAT", idat.data(), unsigned(idat.size()));
    writeChunk("IEND", nullptr, 0);
    return std::fclose(f) == 0;
}

// ---- One child process, measured -------------------------------------------------------------

int measure(int argc, char** argv) {
    long limitMb = 0, limitS = 0;
    int i = 2;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--memory-limit") && i + 1 < argc)
            limitMb = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--time-limit") && i + 1 < argc)
            limitS = std::atol(argv[++i]);
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "measure: no command after --\n");
        return 2;
    }
    char** command = argv + i + 1;
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The limits are the child's own: address space, and an alarm that outlives exec.
        if (limitMb > 0) {
            const rlimit as{rlim_t(limitMb) << 20, rlim_t(limitMb) << 20};
            setrlimit(RLIMIT_AS, &as);
        }
        if (limitS > 0) alarm(unsigned(limitS));
        execvp(command[0], command);
        _exit(127);
    }
    if (pid < 0) return 2;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double wall = msSince(t0, Clock::now()) / 1000.0;
    std::printf("wall_s %.4f\n", wall);
    std::printf("peak_rss_mb %.1f\n", usage.ru_maxrss / 1024.0);
    if (WIFEXITED(status))
        std::printf("ended exit %d\n", WEXITSTATUS(status));
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        std::printf("ended time limit (%ld s)\n", limitS);
    else if (WIFSIGNALED(status))
        std::printf("ended signal %s\n", strsignal(WTERMSIG(status)));
    return 0;
}

// ---- PSNR ----------------------------------------------------------------------------------

FIBITMAP* loadAny(const char* path) {
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(path, 0);
    if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(path);
    // The library's default JPEG decode is its fast one (rougher IDCT, plain upsampling).
    return fif == FIF_UNKNOWN ? nullptr
                              : FreeImage_Load(fif, path, fif == FIF_JPEG ? JPEG_ACCURATE : 0);
}

bool isGrey(FIBITMAP* dib) {
    return FreeImage_GetBPP(dib) == 8 && FreeImage_GetColorType(dib) == FIC_MINISBLACK;
}

// Both pictures in one form: grey when both are grey, else 24-bit colour.
std::optional<double> psnr(FIBITMAP* a, FIBITMAP* b) {
    const unsigned w = FreeImage_GetWidth(a), h = FreeImage_GetHeight(a);
    if (w != FreeImage_GetWidth(b) || h != FreeImage_GetHeight(b)) return std::nullopt;
    const bool grey = isGrey(a) && isGrey(b);
    FIBITMAP* x = grey ? FreeImage_Clone(a) : FreeImage_ConvertTo24Bits(a);
    FIBITMAP* y = grey ? FreeImage_Clone(b) : FreeImage_ConvertTo24Bits(b);
    const unsigned bytes = grey ? w : 3 * w;
    double sum = 0;
    for (unsigned r = 0; r < h; ++r) {
        const BYTE* p = FreeImage_GetScanLine(x, r);
        const BYTE* q = FreeImage_GetScanLine(y, r);
        for (unsigned c = 0; c < bytes; ++c) {
            const int d = int(p[c]) - int(q[c]);
            sum += d * d;
        }
    }
    FreeImage_Unload(x);
    FreeImage_Unload(y);
    const double mse = sum / (double(bytes) * h);
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

int psnrMode(int argc, char** argv) {
    std::vector<double> values;
    for (int i = 2; i + 1 < argc; i += 2) {
        FIBITMAP* source = loadAny(argv[i]);
        FIBITMAP* page = loadAny(argv[i + 1]);
        if (!source || !page) {
            std::printf("page %d unreadable\n", i / 2);
            return 1;
        }
        const int channels = isGrey(page) ? 1 : 3;
        const std::optional<double> v = psnr(source, page);
        if (!v) {
            std::printf("page %d size_differs %ux%u against %ux%u\n", i / 2,
                        FreeImage_GetWidth(page), FreeImage_GetHeight(page),
                        FreeImage_GetWidth(source), FreeImage_GetHeight(source));
            return 1;
        }
        std::printf("page %d psnr_db %.2f decoded_channels %d\n", i / 2, *v, channels);
        values.push_back(*v);
        FreeImage_Unload(source);
        FreeImage_Unload(page);
    }
    if (values.empty()) return 2;
    double mean = 0;
    for (double v : values) mean += v;
    mean /= double(values.size());
    std::printf("psnr_mean %.2f\npsnr_worst %.2f\n", mean,
                *std::min_element(values.begin(), values.end()));
    return 0;
}

// ---- The run -------------------------------------------------------------------------------

// Closed and renamed-in files under drive C, stamped as they happen, from a thread of its own.
class FileEvents {
  public:
    struct Event {
        Clock::time_point at;
        QString folder;  // lower case, as the run's Windows paths match it
        QString name;
    };

    explicit FileEvents(const QString& root) : fd_(inotify_init1(IN_CLOEXEC)) {
        if (fd_ < 0 || pipe(stop_) != 0) return;
        watch(root, QString());
        for (const QFileInfo& d : QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            watch(d.filePath(), d.fileName().toLower());
        thread_ = std::thread([this] { loop(); });
    }
    ~FileEvents() { stop(); }
    bool ok() const { return fd_ >= 0; }

    std::vector<Event> stop() {
        if (thread_.joinable()) {
            const char c = 0;
            if (write(stop_[1], &c, 1) != 1) {
            }
            thread_.join();
            close(stop_[0]);
            close(stop_[1]);
        }
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

  private:
    void watch(const QString& path, const QString& folder) {
        const int wd = inotify_add_watch(fd_, QFile::encodeName(path).constData(),
                                         IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ONLYDIR);
        std::lock_guard<std::mutex> lock(mutex_);
        if (wd >= 0) folders_[wd] = {path, folder};
    }

    void loop() {
        alignas(inotify_event) char buffer[64 * 1024];
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        while (poll(fds, 2, -1) >= 0 || errno == EINTR) {
            if (fds[1].revents) return;
            if (!(fds[0].revents & POLLIN)) continue;
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            const Clock::time_point at = Clock::now();
            for (ssize_t off = 0; n > 0 && off < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + off);
                off += ssize_t(sizeof(inotify_event) + e->len);
                if (!e->len) continue;
                std::pair<QString, QString> where;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    where = folders_[e->wd];
                }
                QString name = QFile::decodeName(e->name);
                // A file made unnamed (O_TMPFILE) and linked in before its close is reported
                // by its inode number; the folder tells its name.
                if ((e->mask & IN_CLOSE_WRITE) && name.startsWith('#'))
                    name = nameOfInode(where.first, name.mid(1));
                if ((e->mask & IN_CREATE) && (e->mask & IN_ISDIR)) {
                    if (where.second.isEmpty()) watch(where.first + "/" + name, name.toLower());
                } else if (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    events_.push_back({at, where.second, name});
                }
            }
        }
    }

    static QString nameOfInode(const QString& folder, const QString& number) {
        const ino_t inode = number.toULongLong();
        for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            struct stat st {};
            if (lstat(QFile::encodeName(folder + "/" + n).constData(), &st) == 0 &&
                st.st_ino == inode)
                return n;
        }
        return "#" + number;
    }

    int fd_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mutex_;
    std::map<int, std::pair<QString, QString>> folders_;  // watch -> host path, drive C folder
    std::vector<Event> events_;
};

// The highest peak memory (VmHWM) of any one process below this one, looked at every 5 ms
// while it runs: the run's children are the picture decoder, and pdftk and the Java machine it
// starts, told apart. (A child's ru_maxrss cannot tell: a child spawned with vfork starts from
// this process's peak.)
class ChildPeak {
  public:
    ChildPeak() : self_(QFileInfo("/proc/self/exe").symLinkTarget()), thread_([this] { loop(); }) {}
    ~ChildPeak() { stop(); }
    // The decoder's peak, once stopped.
    long decoderPeakKb() const { return decoderPeakKb_; }
    long stop() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_ = true;
            }
            wake_.notify_all();
            thread_.join();
        }
        return peakKb_;
    }

  private:
    static QList<int> childrenOf(int pid) {
        QList<int> out;
        for (const QString& task :
             QDir(QString("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(QString("/proc/%1/task/%2/children").arg(pid).arg(task));
            if (!f.open(QIODevice::ReadOnly)) continue;
            for (const QByteArray& c : f.readAll().split(' '))
                if (c.trimmed().toInt() > 0) out << c.trimmed().toInt();
        }
        return out;
    }
    void sample(int pid) {
        for (const int child : childrenOf(pid)) {
            // A spawned child still sharing this process's memory before its exec says nothing.
            const QString exe = QFileInfo(QString("/proc/%1/exe").arg(child)).symLinkTarget();
            if (exe != self_) {
                long& peak = exe.endsWith("/folipress-decoder") ? decoderPeakKb_ : peakKb_;
                QFile f(QString("/proc/%1/status").arg(child));
                if (f.open(QIODevice::ReadOnly)) {
                    for (const QByteArray& l : f.readAll().split('\n'))
                        if (l.startsWith("VmHWM:"))
                            peak = std::max(peak, l.mid(6).trimmed().split(' ')[0].toLong());
                }
            }
            sample(child);
        }
    }
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            sample(getpid());
            wake_.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

    const QString self_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    long peakKb_ = 0;
    long decoderPeakKb_ = 0;
    std::thread thread_;
};

// A program folder the run may write into: a copy of the build's, links kept as links.
bool copyTree(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) return false;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString dest = to + "/" + QDir(from).relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            if (!QFile::link(info.symLinkTarget(), dest)) return false;
        } else if (info.isDir()) {
            if (!QDir().mkpath(dest)) return false;
        } else if (!QFile::copy(info.filePath(), dest)) {
            return false;
        }
    }
    return true;
}

long maxRssKb(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

int runMode(const QStringList& args) {
    QString programFolder;
    int a = 2;
    if (args.value(a) == "--program-folder") {
        programFolder = args.value(a + 1);
        a += 2;
    }
    if (args.size() < a + 3) {
        std::fprintf(
            stderr, "usage: folipress_bench run [--program-folder DIR] QUALITY OUT.pdf IMAGE...\n");
        return 2;
    }
    const int quality = args[a].toInt();
    const QString keep = args[a + 1];
    const QStringList images = args.mid(a + 2);
    const int n = int(images.size());

    // Drive C and the instance lock of its own; the runtime folder outlives the lock, which
    // is let go at the very end.
    static QTemporaryDir runtime;
    QTemporaryDir driveC;
    QTemporaryDir ownProgramFolder;
    qputenv("LUMIDOC_DRIVE_C", driveC.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (programFolder.isEmpty()) {
        programFolder = ownProgramFolder.path() + "/Lumidoc";
        if (!copyTree(QStringLiteral(LUMIDOC_PROGRAM_DIR), programFolder)) {
            std::fprintf(stderr, "cannot copy the program folder %s\n", LUMIDOC_PROGRAM_DIR);
            return 1;
        }
    }
    forms::App::setPathOverride(win::fromHostPath(programFolder));
    forms::ScriptedUi ui;
    forms::RecordingShell shell;

    frmPrinting w;
    w.Form_Load();
    w.txtTitle->setText("Bench");
    w.Slider1->setValue(quality);
    qint64 inputBytes = 0;
    for (const QString& p : images) {
        inputBytes += QFileInfo(p).size();
        w.List1->addItem(win::fromHostPath(p));
        w.List2->addItem(win::fromHostPath(p));
    }
    // The working folders exist before the run (it keeps existing ones), so that no file
    // written in them goes unseen.
    QDir(driveC.path()).mkpath("tmp");
    QDir(driveC.path()).mkpath("jpgtmp");
    FileEvents files(driveC.path());
    if (!files.ok()) {
        std::fprintf(stderr, "cannot watch %s\n", qPrintable(driveC.path()));
        return 1;
    }

    ChildPeak children;
    const Clock::time_point start = Clock::now();
    w.Command3_Click();
    const Clock::time_point end = Clock::now();
    const std::vector<FileEvents::Event> events = files.stop();
    const long childPeakKb = children.stop();
    const long rssRun = maxRssKb(RUSAGE_SELF);

    // The stages, page by page: conversion from the end of the previous page (the first one
    // from the run's start) to the page bitmap's close, writing from there to the page's PDF.
    std::vector<Clock::time_point> bitmaps, pages(n, Clock::time_point{});
    int pagesWritten = 0;
    for (const auto& e : events) {
        if (e.folder == "tmp" && e.name.compare("tmp.bmp", Qt::CaseInsensitive) == 0)
            bitmaps.push_back(e.at);
        static const QRegularExpression pageName(QStringLiteral("^(\\d+)\\.pdf$"),
                                                 QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = pageName.match(e.name);
        if (e.folder == "jpgtmp" && m.hasMatch()) {
            const int i = m.captured(1).toInt();
            if (i >= 0 && i < n && pages[i] == Clock::time_point{}) {
                pages[i] = e.at;
                ++pagesWritten;
            }
        }
    }
    const double totalMs = msSince(start, end);
    const bool allPages = pagesWritten == n;
    const double pagesMs = allPages ? msSince(start, pages[n - 1]) : totalMs;
    double convertMs = 0, writeMs = 0;
    bool split = allPages && int(bitmaps.size()) == n;
    for (int i = 0; split && i < n; ++i) {
        const Clock::time_point pageStart = i == 0 ? start : pages[i - 1];
        split = pageStart <= bitmaps[i] && bitmaps[i] <= pages[i];
        convertMs += msSince(pageStart, bitmaps[i]);
        writeMs += msSince(bitmaps[i], pages[i]);
    }

    const QString out = win::toHostPath(w.txtPath->text() + "\\Bench.pdf");
    const qint64 outputBytes = QFileInfo(out).size();
    auto perPage = [&](double ms) { return QString::number(ms / 1000.0 / n, 'f', 4); };
    auto line = [](const char* key, const QString& value) {
        std::printf("%s %s\n", key, qPrintable(value));
    };
    line("pages", QString::number(n));
    line("quality", QString::number(quality));
    const QString shown = ui.shown.isEmpty() ? QString() : ui.shown.first().prompt.simplified();
    line("outcome", shown.isEmpty() ? QStringLiteral("done") : "message: " + shown);
    line("pages_written", QString::number(pagesWritten));
    line("total_s", QString::number(totalMs / 1000.0, 'f', 3));
    // Conversion and page writing together: the run's start to its last page written.
    line("pages_s_per_page", allPages ? perPage(pagesMs) : QStringLiteral("n/a"));
    line("convert_s_per_page", split ? perPage(convertMs) : QStringLiteral("n/a"));
    line("write_s_per_page", split ? perPage(writeMs) : QStringLiteral("n/a"));
    // pdftk: n - 1 joins and the document information; then the copy and the clean-up.
    line("pdftk_calls", QString::number(n));
    line("join_s_per_call", allPages ? perPage(totalMs - pagesMs) : QStringLiteral("n/a"));
    line("peak_rss_mb", QString::number(rssRun / 1024.0, 'f', 1));
    line("pdftk_peak_rss_mb", QString::number(childPeakKb / 1024.0, 'f', 1));
    line("decoder_peak_rss_mb", QString::number(children.decoderPeakKb() / 1024.0, 'f', 1));
    line("input_bytes", QString::number(inputBytes));
    line("output_bytes", QString::number(outputBytes));
    if (outputBytes > 0) {
        QFile::remove(keep);
        QFile::copy(out, keep);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "measure") return measure(argc, argv);
    FreeImage_Initialise(FALSE);
    if (mode == "make" && argc >= 4) {
        QDir().mkpath(QString::fromLocal8Bit(argv[2]));
        const bool grey = argc > 4 && std::string(argv[4]) == "--grey";
        for (int i = 0; i < std::atoi(argv[3]); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/scan%02d.jpg", i);
            if (!makeScan(argv[2] + std::string(name), i, 2480, 3508, grey)) return 1;
        }
        return 0;
    }
    if (mode == "make-a3" && argc >= 3) return makeScan(argv[2], 1, 7016, 9921, false) ? 0 : 1;
    if (mode == "make-bomb" && argc >= 3) return makeBomb(argv[2], 30000) ? 0 : 1;
    if (mode == "psnr" && argc >= 4) return psnrMode(argc, argv);
    if (mode != "run") {
        std::fprintf(
            stderr,
            "usage: folipress_bench make FOLDER N [--grey] | make-a3 FILE | make-bomb FILE\n"
            "     | run [--program-folder DIR] QUALITY OUT.pdf IMAGE...\n"
            "     | measure [--memory-limit MB] [--time-limit S] -- COMMAND...\n"
            "     | psnr SOURCE PAGE_IMAGE [SOURCE PAGE_IMAGE]...\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runMode(app.arguments());
}
