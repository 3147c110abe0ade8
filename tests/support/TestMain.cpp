// Runs the tests inside an application object so windows, timers and the event loop work, and
// in a process table of their own (see PrivateProcessTable.h).
#include <QApplication>

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

}  // namespace

int main(int argc, char** argv) {
    // First, while the program has one thread.
    testing_support::enterPrivateProcessTable();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipReport);
    return RUN_ALL_TESTS();
}
