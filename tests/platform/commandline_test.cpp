// Command lines: splitting, finding the program, and starting it without a shell.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include "TestSupport.h"
#include "win/CommandLine.h"
#include "win/Process.h"
#include "win/ProcessTable.h"

using testing_support::ScratchDriveC;
using testing_support::writeScript;

TEST(CommandLine, SplitsByThePlatformRules) {
    EXPECT_EQ(win::splitCommandLine("a b  c"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(win::splitCommandLine("\"C:\\Program Files\\x.exe\" \"two words\" z"),
              QStringList({"C:\\Program Files\\x.exe", "two words", "z"}));
    EXPECT_EQ(win::splitCommandLine("p a\\\\\"b c\""), QStringList({"p", "a\\b c"}));
    EXPECT_EQ(win::splitCommandLine("p a\\\"b"), QStringList({"p", "a\"b"}));
    EXPECT_EQ(win::splitCommandLine("p a\\b\\c"), QStringList({"p", "a\\b\\c"}));
    EXPECT_EQ(win::splitCommandLine("p \"a\"\"b\""), QStringList({"p", "a\"b"}));
    EXPECT_TRUE(win::splitCommandLine("   ").isEmpty());
}

TEST(CommandLine, ResolvesUnquotedPathsWithSpacesAndExeNames) {
    ScratchDriveC c;
    writeScript(c.hostPath("My Apps/tool"), "echo hi");
    const auto r = win::resolveCommandLine("c:\\My Apps\\tool.exe c:\\tmp\\a.tif -l eng");
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.program, c.hostPath("My Apps/tool"));
    EXPECT_EQ(r.imageName, "tool.exe");
    EXPECT_EQ(r.arguments, QStringList({c.hostPath("tmp/a.tif"), "-l", "eng"}));
    EXPECT_FALSE(win::resolveCommandLine("c:\\My Apps\\none.exe x").found);
    EXPECT_FALSE(win::resolveCommandLine("").found);
}

TEST(Process, ShellMetacharactersArePlainArguments) {
    ScratchDriveC c;
    const QString out = c.hostPath("args.txt");
    writeScript(c.hostPath("rec"), "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + "'");
    auto p = win::startProcess("c:\\rec.exe ; | $(touch c:\\pwned) `id` \"a;b\"");
    ASSERT_TRUE(p.started);
    int status = 0;
    waitpid(p.pid, &status, 0);
    EXPECT_EQ(testing_support::readFile(out),
              QByteArray(";\n|\n$(touch\n" + c.hostPath("pwned").toUtf8() + ")\n`id`\na;b\n"));
    EXPECT_FALSE(QFile::exists(c.hostPath("pwned")));
}

TEST(Process, OutputAndErrorShareOnePipeAndInputIsEmpty) {
    ScratchDriveC c;
    writeScript(c.hostPath("both"), "echo out; echo err >&2; cat; echo end");
    win::StartOptions o;
    o.captureOutput = true;
    auto p = win::startProcess("c:\\both", o);
    ASSERT_TRUE(p.started);
    QByteArray all;
    char buf[64];
    long long n;
    while ((n = win::readPipe(p.outputFd, buf, sizeof buf)) > 0) all.append(buf, int(n));
    win::closeFd(p.outputFd);
    EXPECT_EQ(all, "out\nerr\nend\n");
    EXPECT_EQ(win::bytesWaiting(-1), -1);
}

TEST(ProcessTable, ChildrenAreListedUnderTheirStartNameUntilTheyExit) {
    ScratchDriveC c;
    writeScript(c.hostPath("sleeper"), "exec sleep 30");
    auto p = win::startProcess("c:\\sleeper.exe");
    ASSERT_TRUE(p.started);
    EXPECT_TRUE(win::isImageRunning("SLEEPER.EXE"));
    EXPECT_TRUE(win::terminateProcess(p.pid));
    ASSERT_TRUE(testing_support::waitUntil([] { return !win::isImageRunning("sleeper.exe"); }));
    EXPECT_EQ(win::reapChildren(), 0);
}

TEST(ProcessTable, OtherProcessesAreListedByTheirFirstArgument) {
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("bash", "bash", "-c", "exec -a foreign-x.exe sleep 30", (char*)nullptr);
        _exit(1);
    }
    ASSERT_TRUE(testing_support::waitUntil([] { return win::isImageRunning("FOREIGN-X.EXE"); }));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_FALSE(win::isImageRunning("foreign-x.exe"));
}
