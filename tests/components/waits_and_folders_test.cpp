// Pauses that keep the window responsive, folder deletion, process ending and path names.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>

#include "GetFile.h"
#include "Module1.h"
#include "TestSupport.h"
#include "clsWaitableTimer.h"
#include "win/FileSystem.h"
#include "win/Process.h"
#include "win/ProcessTable.h"
#include "PrivateProcessTable.h"

using testing_support::ScratchDriveC;
using testing_support::writeFile;
using testing_support::writeScript;

TEST(clsWaitableTimer, WaitsAboutAsLongAsAskedWhileEventsRun) {
    for (int ms : {50, 500}) {
        clsWaitableTimer t;
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        clock.start();
        t.Wait(ms);
        const qint64 took = clock.elapsed();
        EXPECT_GE(took, ms - 5);
        EXPECT_LT(took, ms + 400);
        EXPECT_GE(ticks, ms / 10 / 3);
        EXPECT_EQ(t.handle(), 0u);
    }
    EXPECT_EQ(win::openTimerCount(), 0);
}

TEST(clsWaitableTimer, ANestedWaitUnderTheSameNameRearmsTheSharedTimer) {
    // The outer wait (1000 ms) is re-armed by a nested 100 ms wait started 100 ms in: both share
    // the timer, so the outer one ends once the nested one's due time has passed.
    const QString name = clsWaitableTimer::timerName();
    clsWaitableTimer outer;
    clsWaitableTimer inner;
    bool nestedRan = false;
    QTimer::singleShot(100, [&] {
        if (clsWaitableTimer::timerName() != name) return;  // a second boundary passed
        inner.Wait(100);
        nestedRan = true;
    });
    QElapsedTimer clock;
    clock.start();
    outer.Wait(1000);
    if (!nestedRan) GTEST_SKIP() << "the clock's second changed between the two waits";
    EXPECT_LT(clock.elapsed(), 800);
}

TEST(clsWaitableTimer, NegativeAndZeroWaitsReturnAtOnce) {
    clsWaitableTimer t;
    QElapsedTimer clock;
    clock.start();
    t.Wait(0);
    t.Wait(-5);
    EXPECT_LT(clock.elapsed(), 200);
}

TEST(clsWaitableTimer, AWaitAfterTheProgramWasToldToQuitSleepsInsteadOfSpinning) {
    // The last window closed while a handler still waits: no event loop runs any more, yet
    // the wait lasts its time without burning the processor. (Each test runs in a process of
    // its own, so the quit touches no other test.)
    QCoreApplication::exit(0);
    clsWaitableTimer t;
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    t.Wait(1000);
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    EXPECT_GE(clock.elapsed(), 995);
    EXPECT_LT(cpuMs, 500);
}

TEST(DeleteFolderTree, RemovesNestedReadOnlyAndHiddenEntries) {
    ScratchDriveC c;
    writeFile(c.hostPath("work/a.txt"), "1");
    writeFile(c.hostPath("work/.hidden"), "2");
    writeFile(c.hostPath("work/sub/deeper/ro.txt"), "3");
    writeFile(c.hostPath("work/sub/.h2"), "4");
    win::setAttr("c:\\work\\sub\\deeper\\ro.txt", win::kAttrReadOnly);
    win::setAttr("c:\\work\\sub\\deeper", win::kAttrReadOnly);
    DeleteFolderTree("c:\\work");
    EXPECT_FALSE(QFile::exists(c.hostPath("work")));
    DeleteFolderTree("c:\\work");  // missing: nothing to do, nothing reported
}

TEST(DeleteFolderTree, AStubbornSubfolderDoesNotMakeItLoop) {
    ScratchDriveC c;
    writeFile(c.hostPath("w/keep/inner/f"), "1");
    writeFile(c.hostPath("w/gone.txt"), "1");
    writeFile(c.hostPath("w/zz/f"), "1");
    // A folder whose parent cannot be changed: its entries cannot be removed.
    system(("chmod 555 '" + c.hostPath("w/keep/inner") + "'").toLocal8Bit().constData());
    system(("chattr +i '" + c.hostPath("w/keep/inner/f") + "' 2>/dev/null").toLocal8Bit().constData());
    QElapsedTimer clock;
    clock.start();
    DeleteFolderTree("c:\\w");
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(QFile::exists(c.hostPath("w/gone.txt")));
    EXPECT_FALSE(QFile::exists(c.hostPath("w/zz")));
    system(("chattr -i '" + c.hostPath("w/keep/inner/f") + "' 2>/dev/null").toLocal8Bit().constData());
}

TEST(DeleteFolderTree, AnEntryNoWindowsPathReachesGoesToo) {
    // A name holding a backslash cannot be written as a Windows path, but the walk goes by the
    // folders' own listings, so it is removed like any other entry.
    ScratchDriveC c;
    writeFile(c.hostPath("w/keep/a\\b"), "1");
    writeFile(c.hostPath("w/keep/plain"), "1");
    writeFile(c.hostPath("w/other/f"), "1");
    DeleteFolderTree("c:\\w");
    EXPECT_FALSE(QFileInfo::exists(c.hostPath("w")));
}

TEST(DeleteFolderTree, LinksGoThemselvesAndWhatTheyPointAtIsLeftAsItWas) {
    ScratchDriveC c;
    writeFile(c.hostPath("outside/dir/kept.txt"), "keep");
    writeFile(c.hostPath("outside/ro.txt"), "keep");
    QFile::setPermissions(c.hostPath("outside/ro.txt"), QFileDevice::ReadOwner);
    writeFile(c.hostPath("w/f"), "1");
    ASSERT_TRUE(QFile::link(c.hostPath("outside/dir"), c.hostPath("w/to-dir")));
    ASSERT_TRUE(QFile::link(c.hostPath("outside/ro.txt"), c.hostPath("w/to-file")));
    ASSERT_TRUE(QFile::link(c.hostPath("nowhere"), c.hostPath("w/dangling")));
    DeleteFolderTree("c:\\w");
    EXPECT_FALSE(QFileInfo::exists(c.hostPath("w"))) << "links removed, so the folder goes too";
    EXPECT_TRUE(QFile::exists(c.hostPath("outside/dir/kept.txt")));
    EXPECT_EQ(QFile::permissions(c.hostPath("outside/ro.txt")) & QFileDevice::WriteOwner,
              QFileDevice::Permissions());
    QFile::setPermissions(c.hostPath("outside/ro.txt"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(KillProcessByName, EndsEveryProcessOfThatNameAndNoOther) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    ScratchDriveC c;
    writeScript(c.hostPath("ocr.exe"), "exec sleep 30");
    writeScript(c.hostPath("other.exe"), "exec sleep 30");
    auto a = win::startProcess("c:\\ocr.exe");
    auto b = win::startProcess("c:\\ocr.exe");
    auto o = win::startProcess("c:\\other.exe");
    ASSERT_TRUE(a.started && b.started && o.started);
    KillProcessByName("OCR.EXE");
    EXPECT_TRUE(testing_support::waitUntil([] { return !win::isImageRunning("ocr.exe"); }));
    EXPECT_TRUE(win::isImageRunning("other.exe"));
    KillProcessByName("other.exe");
    EXPECT_TRUE(testing_support::waitUntil([] { return !win::isImageRunning("other.exe"); }));
}

TEST(GetFile, NamesAndBaseNames) {
    EXPECT_EQ(GetFileName("c:\\ocrtmp\\0001.tif"), "0001.tif");
    EXPECT_EQ(GetFileName("abc"), "abc");
    EXPECT_EQ(GetFileName("c:\\dir\\"), "");
    EXPECT_EQ(GetFileName(""), "");
    EXPECT_EQ(GetFileBaseName("c:\\a.b\\name.txt"), "name");
    EXPECT_EQ(GetFileBaseName("c:\\dir\\.cfg"), "");
    EXPECT_EQ(GetFileBaseName("report.final.pdf"), "report");
    EXPECT_EQ(GetFileBaseName("c:\\x\\noext"), "noext");
    EXPECT_EQ(GetFileBaseName(""), "");
}
