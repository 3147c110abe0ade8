// The process table the tests run in: their own, or, where the machine gives none, the
// machine's, with only the tests that need their own skipped.
#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "PrivateProcessTable.h"
#include "win/Process.h"
#include "win/ProcessTable.h"

TEST(PrivateProcessTable, ListsOnlyTheProcessesTheTestStarted) {
    LUMIDOC_TEST_NEEDS_PRIVATE_PROCESS_TABLE();
    EXPECT_EQ(getpid(), 1);
    const auto before = win::processSnapshot();
    ASSERT_EQ(before.size(), 1);
    EXPECT_EQ(before[0].pid, 1);

    win::StartedProcess child = win::startProcess("sleep 5");
    ASSERT_TRUE(child.started);
    EXPECT_EQ(win::processSnapshot().size(), 2);
    win::terminateProcess(child.pid);
}

TEST(PrivateProcessTable, ProgramsStartWithOrWithoutIt) {
    for (int i = 0; i < 3; ++i) {
        win::StartedProcess child = win::startProcess("sh -c \"exit 7\"");
        ASSERT_TRUE(child.started) << "start " << i;
        int status = 0;
        ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
        EXPECT_EQ(WEXITSTATUS(status), 7);
    }
}

TEST(PrivateProcessTable, WithoutItOnlyTheTestsThatNeedItAreSkippedOrFailUnderCi) {
    const QString skipped = "Skipped 1 of 2 tests: needs a process table of its own, and ";
    const struct {
        const char* what;
        const char* variable;
        const char* value;
        bool ci;
        QString reason;
    } cases[] = {
        {"no namespace", "LUMIDOC_TEST_NO_PID_NAMESPACE", "1", false,
         skipped + "no PID namespace can be made here (LUMIDOC_TEST_NO_PID_NAMESPACE is set)"},
        {"no /proc in it", "LD_PRELOAD", LUMIDOC_FAILING_PROC_MOUNT, false,
         skipped + "/proc cannot be mounted in the PID namespace: Operation not permitted"},
        {"no namespace in CI", "LUMIDOC_TEST_NO_PID_NAMESPACE", "1", true,
         "LUMIDOC_TEST_NO_PID_NAMESPACE is set) (CI=true requires it)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LUMIDOC_TEST_NO_PID_NAMESPACE");
        env.insert(c.variable, c.value);
        // The stand-in comes before the sanitizer's runtime, which it does not mind.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        if (c.ci) env.insert("CI", "true");
        else env.remove("CI");
        QProcess again;
        again.setProcessEnvironment(env);
        again.setProcessChannelMode(QProcess::MergedChannels);
        again.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=PrivateProcessTable.ListsOnly*:PrivateProcessTable.Programs*"});
        ASSERT_TRUE(again.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(again.readAll());
        // Shown defused: the runner would take its skip line for this test's own.
        const std::string shown = QString(out).replace("[  SKIPPED ]", "[  skipped ]").toStdString();
        EXPECT_EQ(again.exitCode(), c.ci ? 1 : 0) << shown;
        EXPECT_TRUE(out.contains(c.reason)) << shown;
        EXPECT_TRUE(out.contains(QString("[  %1 ] PrivateProcessTable.ListsOnlyTheProcessesTheTestStarted")
                                     .arg(c.ci ? "FAILED " : "SKIPPED")))
            << shown;
        EXPECT_TRUE(out.contains("[       OK ] PrivateProcessTable.ProgramsStartWithOrWithoutIt"))
            << shown;
    }
}
