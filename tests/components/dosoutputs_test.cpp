// The console command runner against real child processes.
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "DOSOutputs.h"
#include "Module1.h"
#include "TestSupport.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "win/Process.h"
#include "win/ProcessTable.h"
#include "PrivateProcessTable.h"
#include "ScopedEnvironment.h"

using testing_support::ScratchDriveC;
using testing_support::writeScript;

namespace {

struct Recorder {
    QStringList chunks;
    int over = 0;
    void attach(DOSOutputs& d) {
        QObject::connect(&d, &DOSOutputs::ReceiveOutputs, [this](const QString& s) { chunks << s; });
        QObject::connect(&d, &DOSOutputs::CommandOver, [this] { ++over; });
    }
};

}  // namespace

TEST(DOSOutputs, LargeOutputArrivesInChunksOfAtMost1024Bytes) {
    ScratchDriveC c;
    // Writes 3000 bytes, then stays alive a little so the run keeps reading.
    writeScript(c.hostPath("gen"), "head -c 3000 /dev/zero | tr '\\0' 'x'; printf END; sleep 1");
    WatchedProcess = "gen.exe";
    DOSOutputs d;
    Recorder r;
    r.attach(d);
    const QString out = d.ExecuteCommand("c:\\gen.exe");
    ASSERT_GE(r.chunks.size(), 3);
    for (const QString& ch : r.chunks) EXPECT_LE(ch.size(), 1024);
    EXPECT_EQ(r.chunks.join(""), out);
    EXPECT_EQ(d.Outputs(), out);
    EXPECT_EQ(out, QString(3000, 'x') + "END");
    EXPECT_EQ(r.over, 1);
    EXPECT_FALSE(win::isImageRunning("gen.exe"));
}

TEST(DOSOutputs, EndsAfterTheFirstPassWhenTheWatchedNameIsNotRunning) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    ScratchDriveC c;
    writeScript(c.hostPath("slow"), "sleep 3");
    for (const QString& watched : {QString("nothing-like-it.exe"), QString()}) {
        WatchedProcess = watched;
        DOSOutputs d;
        Recorder r;
        r.attach(d);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(d.ExecuteCommand("c:\\slow"), "");
        EXPECT_LT(t.elapsed(), 2000) << "watched: " << watched.toStdString();
        EXPECT_TRUE(r.chunks.isEmpty());
        EXPECT_EQ(r.over, 1);
    }
    KillProcessByName("slow");
}

TEST(DOSOutputs, GoesOnWhileAnotherProcessOfTheWatchedNameRuns) {
    ScratchDriveC c;
    // A name of this test's own, so programs of other test runs on the machine play no part.
    const QString name = QString("Engine-%1.EXE").arg(getpid());
    writeScript(c.hostPath("quick"), "echo done");
    writeScript(c.hostPath(name), "sleep 1.2");
    auto other = win::startProcess("c:\\" + name);
    ASSERT_TRUE(other.started);
    WatchedProcess = name.toLower();  // differs only in case
    DOSOutputs d;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.ExecuteCommand("c:\\quick"), "done\n");
    EXPECT_GE(t.elapsed(), 900);
    EXPECT_FALSE(win::isImageRunning(name));
}

TEST(DOSOutputs, FailuresShowTheirMessageAndKeepThePreviousOutputs) {
    ScratchDriveC c;
    writeScript(c.hostPath("hello"), "echo hello; sleep 0.3");
    forms::ScriptedUi ui;
    WatchedProcess = "hello";
    DOSOutputs d;
    Recorder r;
    r.attach(d);
    ASSERT_EQ(d.ExecuteCommand("c:\\hello"), "hello\n");
    EXPECT_FALSE(d.StartFailed());

    EXPECT_EQ(d.ExecuteCommand("c:\\missing-program.exe"), "");
    EXPECT_TRUE(d.StartFailed());
    d.setCommandLine("");
    EXPECT_EQ(d.ExecuteCommand(""), "");
    EXPECT_TRUE(d.StartFailed());

    // Exhaust the descriptors so the pipe cannot be made.
    struct rlimit old;
    getrlimit(RLIMIT_NOFILE, &old);
    std::vector<int> held;
    struct rlimit low = old;
    low.rlim_cur = 64;
    setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; (fd = dup(0)) >= 0;) held.push_back(fd);
    const QString piped = d.ExecuteCommand("c:\\hello");
    for (int fd : held) close(fd);
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(piped, "");
    EXPECT_TRUE(d.StartFailed());

    ASSERT_EQ(ui.shown.size(), 3);
    EXPECT_EQ(ui.shown[0].prompt, "File or command not found");
    EXPECT_EQ(ui.shown[1].prompt, "Command Line empty");
    EXPECT_EQ(ui.shown[2].prompt, QString("CreatePipe failed. Error: %1").arg(EMFILE));
    for (const auto& s : ui.shown) {
        EXPECT_EQ(s.style, forms::vbCritical);
        EXPECT_EQ(s.title, forms::App::title());
    }
    EXPECT_EQ(d.Outputs(), "hello\n");
    EXPECT_EQ(r.over, 1);
}

TEST(DOSOutputs, WindowEventsRunDuringARun) {
    ScratchDriveC c;
    writeScript(c.hostPath("pause"), "sleep 0.5");
    WatchedProcess = "pause";
    DOSOutputs d;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    d.ExecuteCommand("c:\\pause");
    EXPECT_GE(ticks, 5);
}

TEST(DOSOutputs, HandsOverHowItsProcessEnded) {
    ScratchDriveC c;
    forms::ScriptedUi ui;
    const struct {
        const char* body;
        win::ChildEnd::Kind kind;
        int code;
        bool succeeded;
    } cases[] = {
        {"echo fine", win::ChildEnd::Exited, 0, true},
        {"echo 'disk full' >&2; exit 2", win::ChildEnd::Exited, 2, false},
        {"kill -KILL $$", win::ChildEnd::Signalled, 9, false},
    };
    for (const auto& k : cases) {
        writeScript(c.hostPath("step"), k.body);
        WatchedProcess = "step";
        DOSOutputs d;
        d.ExecuteCommand("c:\\step");
        EXPECT_EQ(d.End().kind, k.kind) << k.body;
        EXPECT_EQ(d.End().code, k.code) << k.body;
        EXPECT_EQ(d.Succeeded(), k.succeeded) << k.body;
    }
    DOSOutputs d;
    d.ExecuteCommand("c:\\missing-program.exe");
    EXPECT_FALSE(d.Succeeded());
    EXPECT_EQ(d.EndDescription(), "not started");
}

TEST(DOSOutputs, ACommandLineTheCodePageCannotCarryStartsNothing) {
    testing_support::ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}};
    ScratchDriveC c;
    // What the lossy name would become: a program that must never run.
    writeScript(c.hostPath("??"), "echo wrong program");
    forms::ScriptedUi ui;
    WatchedProcess = "??";
    DOSOutputs d;
    EXPECT_EQ(d.ExecuteCommand(QString::fromUtf8("c:\\日本")), "");
    EXPECT_TRUE(d.StartFailed());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0].prompt, "File or command not found");
}
