// Runs the tests inside an application object so windows, timers and the event loop work, and
// in a process table of their own (see PrivateProcessTable.h).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "PrivateProcessTable.h"

namespace {

// At the program's end: how many tests were skipped, for each reason.
class SkipReport : public ::testing::EmptyTestEventListener {
public:
    void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
        std::map<std::string, int> skipped;
        for (int s = 0; s < unit.total_test_suite_count(); ++s) {
            const ::testing::TestSuite& suite = *unit.GetTestSuite(s);
            for (int t = 0; t < suite.total_test_count(); ++t) {
                const ::testing::TestResult& result = *suite.GetTestInfo(t)->result();
                for (int p = 0; result.Skipped() && p < result.total_part_count(); ++p) {
                    if (result.GetTestPartResult(p).skipped()) {
                        ++skipped[result.GetTestPartResult(p).message()];
                        break;
                    }
                }
            }
        }
        for (const auto& [reason, count] : skipped) {
            std::printf("Skipped %d of %d tests: %s\n", count, unit.test_to_run_count(),
                        reason.empty() ? "no reason given" : reason.c_str());
        }
        std::fflush(stdout);
    }
};

// The tests touch nothing of the user's: their home, settings, data and runtime folders are
// their own, and go with the program. pdftk's Java would keep its figures in
// /tmp/hsperfdata_<user> whatever TMPDIR says.
class OwnFolders {
public:
    OwnFolders() : home_(QDir::tempPath() + "/lumidoc-test-home-XXXXXX") {
        qputenv("HOME", QFile::encodeName(home_.path()));
        for (const char* v :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qunsetenv(v);
        const QString runtime = home_.path() + "/runtime";
        QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("JAVA_TOOL_OPTIONS", qgetenv("JAVA_TOOL_OPTIONS") + " -XX:-UsePerfData");
    }

private:
    QTemporaryDir home_;
};

}  // namespace

int main(int argc, char** argv) {
    // First, while the program has one thread.
    testing_support::enterPrivateProcessTable();
    const OwnFolders own;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipReport);
    return RUN_ALL_TESTS();
}
