// The run's side of the picture decoder: a decoder that is missing, cannot start, dies, runs
// over its time, answers what it cannot, or writes a bitmap other than the page asked for ends
// the run with one message naming the picture, and the earlier PDF stays; while the run waits
// for one the window lives, and closing it ends the decoder with the program.
#include <fcntl.h>
#include <sys/resource.h>

#include <QTimer>

#include "ConversionFixture.h"
#include "ScopedEnvironment.h"
#include "PictureDecoder.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

// A page bitmap as the decoder writes one: bottom-up 24-bit rows, or 8-bit ones behind the grey
// ramp.
QByteArray pageBitmap(int width, int height, int bits) {
    const int stride = (width * bits + 31) / 32 * 4;
    const int offset = 54 + (bits == 8 ? 1024 : 0);
    QByteArray b(offset + stride * height, '\0');
    auto le32 = [&](int at, qint32 v) {
        for (int i = 0; i < 4; ++i) b[at + i] = char(quint32(v) >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = char(bits);
    le32(2, int(b.size())), le32(10, offset), le32(14, 40), le32(18, width), le32(22, height);
    for (int i = 0; bits == 8 && i < 256; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = char(i);
    return b;
}

// The lowest limit on descriptor numbers that leaves `spare` descriptors free.
rlim_t limitLeaving(int spare) {
    rlim_t limit = 0;
    for (int free = 0; free < spare; ++limit)
        if (::fcntl(int(limit), F_GETFD) < 0) ++free;
    return limit;
}

struct DecoderFailures : ConversionFixture {
    QString name = "shown as p.png";
    DecoderFailures() {
        add(picture("p.png", FIF_PNG, 20, 10), name);
        writeFile(output(), "the user's earlier document");
    }
    // The decoder replaced by a script: the body of each step; by default it answers for a
    // 20 x 10 PNG and writes the file "bitmap" beside it.
    void standIn(const QString& probe, const QString& decode = QString()) {
        QFile::remove(program.hostPath("folipress-decoder"));
        testing_support::writeScript(program.hostPath("folipress-decoder"),
                                     "if [ \"$1\" = probe ]; then " +
                                         (probe.isEmpty() ? "echo '13 1 1 20 10 PNG'" : probe) + "\nelse " +
                                         (decode.isEmpty() ? "cat \"${0%/*}/bitmap\"" : decode) + "\nfi");
    }
    QString failed(const QString& why) const {
        return "The picture library failed on this picture (" + why + "), so it is not converted.\r\n" + name +
               "\r\n\r\nNo PDF document was written.";
    }
    // The run ended as a failed run ends: one message, the earlier document, no folder opened,
    // no working files, the window given back.
    void expectRunEnded(const QString& message) {
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].prompt, message);
        EXPECT_EQ(ui.shown[0].title, "Convert");
        EXPECT_EQ(readFile(output()), "the user's earlier document");
        EXPECT_TRUE(shell.opened.isEmpty());
        EXPECT_EQ(files("tmp"), QStringList());
        EXPECT_EQ(files("jpgtmp"), QStringList());
        EXPECT_TRUE(w->Command3->isEnabled() && toolbarEnabled());
    }
};

}  // namespace

TEST_F(DecoderFailures, ADecoderThatEndsBadlyOrAnswersWhatItCannotEndsTheRun) {
    const QString readInTime = "This picture could not be read in time: the picture library did not finish it, "
                               "so it is not converted.\r\n" + name + "\r\n\r\nNo PDF document was written.";
    const struct {
        const char* what;
        QString probe, decode, message;
    } cases[] = {
        {"killed by a signal", "kill -SEGV $$", "", failed("ended by signal 11")},
        {"a call outside its filter", "", "kill -SYS $$", failed("ended by signal 31")},
        {"out of CPU time", "", "kill -XCPU $$", readInTime},
        {"over its time", "exec sleep 30", "", readInTime},
        {"an exit status of its own", "", "exit 9", failed("exit status 9")},
        {"an answer cut short", "echo '13 1 1 20'", "", failed("no answer")},
        {"a picture it cannot read", "", "exit 3",
         "This file cannot be converted: it is missing, empty, damaged or not a picture.\r\n" + name +
             "\r\n\r\nNo PDF document was written."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.shown.clear();
        standIn(c.probe, c.decode);
        EXPECT_FALSE(convert());
        expectRunEnded(c.message);
    }
}

TEST_F(DecoderFailures, ABitmapOtherThanThePageAskedForIsNotUsed) {
    const QByteArray good = pageBitmap(20, 10, 24);
    QByteArray compressed = good, topDown = good, coloured = pageBitmap(20, 10, 8);
    compressed[30] = 1;
    topDown[25] = char(0xFF), topDown[24] = char(0xFF), topDown[23] = char(0xFF), topDown[22] = char(0xF6);
    coloured[54] = 9;
    const struct {
        const char* what;
        QByteArray bytes;
    } bitmaps[] = {{"none", ""},
                   {"another size", pageBitmap(21, 10, 24)},
                   {"compressed", compressed},
                   {"top-down", topDown},
                   {"cut short", good.chopped(1)},
                   {"too long", good + "x"},
                   {"greys behind another palette", coloured}};
    standIn("");
    for (const auto& b : bitmaps) {
        SCOPED_TRACE(b.what);
        ui.shown.clear();
        writeFile(program.hostPath("bitmap"), b.bytes);
        EXPECT_FALSE(convert());
        expectRunEnded(failed("it wrote a damaged bitmap"));
    }
    // The page asked for, in either form, makes the page.
    for (const int bits : {24, 8}) {
        ui.shown.clear();
        writeFile(program.hostPath("bitmap"), pageBitmap(20, 10, bits));
        EXPECT_FALSE(convert());
        EXPECT_TRUE(ui.shown.isEmpty());
        EXPECT_EQ(runkit::pdfImages(output()), QStringList{bits == 8 ? "gray 1 jpeg" : "rgb 3 jpeg"});
    }
}

TEST_F(DecoderFailures, AMissingDecoderOrOneThatCannotStartIsNamedBeforeAnythingIsWritten) {
    // In place of the build's decoder (the link to it is left alone), a file that cannot run.
    QFile::remove(program.hostPath("folipress-decoder"));
    writeFile(program.hostPath("folipress-decoder"), "not a program");
    EXPECT_FALSE(convert());
    QFile::remove(program.hostPath("folipress-decoder"));
    EXPECT_FALSE(convert());
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_EQ(ui.shown[0].prompt, "folipress-decoder, which reads the pictures, could not be started "
                                  "(Permission denied) from the program folder:\r\n" + forms::App::path());
    EXPECT_EQ(ui.shown[1].prompt, "folipress-decoder, which reads the pictures, is missing from the program "
                                  "folder:\r\n" + forms::App::path());
    EXPECT_FALSE(QFileInfo::exists(driveC.hostPath("tmp")));
    EXPECT_EQ(readFile(output()), "the user's earlier document");
    EXPECT_TRUE(w->Command3->isEnabled() && toolbarEnabled());
}

TEST_F(DecoderFailures, WithoutDescriptorsToSpareNoDecoderRuns) {
    // The picture alone, or the picture and the answer's pipe but nothing to watch the decoder by.
    rlimit before{};
    ::getrlimit(RLIMIT_NOFILE, &before);
    for (const int spare : {1, 3}) {
        SCOPED_TRACE(spare);
        const rlimit few{limitLeaving(spare), before.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &few);
        const auto probe = PictureDecoder::probe(w->List1->item(0)->text());
        ::setrlimit(RLIMIT_NOFILE, &before);
        EXPECT_EQ(probe.outcome, PictureDecoder::Outcome::NotStarted);
        EXPECT_EQ(probe.why, QString::fromLocal8Bit(std::strerror(EMFILE)));
    }
}

TEST_F(DecoderFailures, WhileTheRunWaitsTheWindowLivesAndClosingItEndsTheDecoder) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing_support::TemporaryFolderForChildren scratch;
    // A decoder that never answers, and says who it is.
    standIn("echo $$ > \"${0%/*}/pid\"; exec sleep 30");
    const QString pidFile = program.hostPath("pid");
    EXPECT_EXIT(
        {
            static int ticks = 0;
            static QString pid;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, [&] {
                pid = QString::fromLatin1(readFile(pidFile)).trimmed();
                if (++ticks == 20) w->close();
            });
            tick.start(20);
            setProgramEnd([](int) {
                std::fprintf(stderr, "ticks %d, decoder %s\n", ticks,
                             QFileInfo::exists("/proc/" + pid) ? "running" : "ended");
            });
            convert();
        },
        ::testing::ExitedWithCode(0), "ticks 20, decoder ended");
}
