// The process table the process tests run in: their own, or none at all.
#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>

#include "PrivateProcessTable.h"
#include "win/Process.h"
#include "win/ProcessTable.h"

LUMIDOC_TESTS_OWN_THEIR_PROCESSES();

TEST(PrivateProcessTable, ListsOnlyTheProcessesTheTestStarted) {
    ASSERT_TRUE(testing_support::hasPrivateProcessTable());
    EXPECT_EQ(getpid(), 1);
    const auto before = win::processSnapshot();
    ASSERT_EQ(before.size(), 1);
    EXPECT_EQ(before[0].pid, 1);

    win::StartedProcess child = win::startProcess("sleep 5");
    ASSERT_TRUE(child.started);
    EXPECT_EQ(win::processSnapshot().size(), 2);
    win::terminateProcess(child.pid);
}

TEST(PrivateProcessTable, WithoutANamespaceTheTestsAreSkippedWithTheReason) {
    QProcess again;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LUMIDOC_TEST_NO_PID_NAMESPACE", "1");
    again.setProcessEnvironment(env);
    again.setProcessChannelMode(QProcess::MergedChannels);
    again.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=PrivateProcessTable.ListsOnlyTheProcessesTheTestStarted"});
    ASSERT_TRUE(again.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(again.readAll());
    EXPECT_EQ(again.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  SKIPPED ] PrivateProcessTable.ListsOnlyTheProcessesTheTestStarted"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("LUMIDOC_TEST_NO_PID_NAMESPACE")) << out.toStdString();
}
