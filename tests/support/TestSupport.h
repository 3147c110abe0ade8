#pragma once
// Scratch folders for tests: a drive C of their own and a program folder of their own.
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <string>

namespace testing_support {

// Points drive C at a fresh temporary folder for the life of the object.
class ScratchDriveC {
public:
    ScratchDriveC();
    ~ScratchDriveC();
    QString hostPath(const QString& relative = QString()) const;  // host path inside drive C

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Writes an executable shell script (a stand-in program) and returns its host path.
QString writeScript(const QString& hostPath, const QString& body);

#ifdef LUMIDOC_PROGRAM_DIR
// Links a program of the build's program folder (the picture decoder, say) into a test's own.
inline bool linkBuiltProgram(const QString& hostFolder, const QString& name) {
    return QFile::link(QStringLiteral(LUMIDOC_PROGRAM_DIR "/") + name, hostFolder + "/" + name);
}
#endif

// Writes bytes to a host file, creating its folder.
bool writeFile(const QString& hostPath, const QByteArray& bytes);
QByteArray readFile(const QString& hostPath);

// A file's permission bits in octal ("0640"), links followed; "" when it cannot be read.
std::string permissionsOf(const QString& hostPath);
bool setPermissions(const QString& hostPath, unsigned mode);

// Every entry under a host folder, links not followed: relative path -> kind, permission bits
// and content (for a link, where it points), so a test can show a tree was left as it was.
QMap<QString, QByteArray> treeSnapshot(const QString& hostFolder);

// Runs a program found on the PATH with the test's own output and waits for it; its exit code,
// -1 when it could not be started or did not exit normally. Started by posix_spawn, which
// ThreadSanitizer follows (a QProcess child shares our memory until it execs, and so it can
// hide the window thread's locks from the sanitizer).
int runProgram(const QString& program, const QStringList& arguments);

// Runs the event loop until the predicate holds or the time runs out; returns the predicate.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 10000);

// Once per program, on the thread that mounts (the window thread): a mount table of its own, so
// that nothing a test mounts reaches another process or outlives the test program. 0, or the
// error that kept it from being made.
int enterOwnMountTable();

// CI=true: a test that cannot run here fails instead of being skipped, so that a run cannot
// pass having left out what matters.
bool everyTestDemanded();

}  // namespace testing_support

// Goes on where `canRun` holds; else ends the test, skipped with the reason, or failed with it
// under CI=true.
#define LUMIDOC_TEST_RUNS_ONLY_IF(canRun, reason)       \
    if (canRun) {                                       \
    } else if (testing_support::everyTestDemanded())    \
        FAIL() << (reason) << " (CI=true requires it)"; \
    else                                                \
        GTEST_SKIP() << (reason)
