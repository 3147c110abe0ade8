// Runs the tests inside an application object so windows, timers and the event loop work, and
// in a process table of their own (see PrivateProcessTable.h).
#include <QApplication>

#include <gtest/gtest.h>

#include "PrivateProcessTable.h"

namespace {

// A skip noted as a test starts keeps its body from running, and the runner reports it skipped.
class SkipEveryTest : public ::testing::EmptyTestEventListener {
public:
    explicit SkipEveryTest(std::string reason) : reason_(std::move(reason)) {}
    void OnTestStart(const ::testing::TestInfo&) override {
        GTEST_SKIP() << "this test starts and ends processes by name, and " << reason_
                     << ": it would touch processes that are not its own";
    }

private:
    std::string reason_;
};

}  // namespace

int main(int argc, char** argv) {
    // First, while the program has one thread.
    const std::string noPrivateTable = testing_support::enterPrivateProcessTable();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (testing_support::privateProcessTableRequired() && !noPrivateTable.empty()) {
        ::testing::UnitTest::GetInstance()->listeners().Append(new SkipEveryTest(noPrivateTable));
    }
    return RUN_ALL_TESTS();
}
