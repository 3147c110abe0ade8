// The built launcher refuses a second instance: the second copy ends at once and silently,
// the first stays.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"

namespace {

struct Launchers {
    QTemporaryDir runtime;  // the instance lock lives here, away from any real launcher
    std::vector<std::unique_ptr<QProcess>> started;

    QProcess& start() {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(LUMIDOC_PROGRAM_DIR "/LumidocSplash", QStringList());
        EXPECT_TRUE(p->waitForStarted(5000));
        started.push_back(std::move(p));
        return *started.back();
    }
    bool lockTaken() const {
        return QFileInfo::exists(runtime.filePath("lumidoc-LumidocSplash.lock"));
    }
    ~Launchers() {
        for (auto& p : started) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
};

}  // namespace

TEST(SplashInstance, ASecondLauncherEndsAtOnceAndTheFirstStays) {
    ASSERT_TRUE(QFileInfo(LUMIDOC_PROGRAM_DIR "/LumidocSplash").isExecutable());
    Launchers l;
    QProcess& first = l.start();
    ASSERT_TRUE(testing_support::waitUntil([&] { return l.lockTaken(); }, 10000));

    QProcess& second = l.start();
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second launcher keeps running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // Once the first has gone (even without cleaning up), a launcher runs again.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    QProcess& third = l.start();
    EXPECT_FALSE(third.waitForFinished(1500)) << third.readAll().toStdString();
    EXPECT_EQ(third.state(), QProcess::Running);
}
