#include "forms/App.h"

#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QLockFile>
#include <QScreen>
#include <QStandardPaths>

#include <memory>

#include "win/WinPath.h"

namespace forms {

namespace {

QString& titleText() {
    static QString t;
    return t;
}

double logicalDpi(bool x) {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* s = app->primaryScreen()) {
            const double d = x ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
            if (d > 0) return d;
        }
    }
    return 96.0;
}

}  // namespace

QString App::title() {
    if (titleText().isEmpty()) return win::exeName();
    return titleText();
}

void App::setTitle(const QString& t) { titleText() = t; }

static QString& pathOverride() {
    static QString p;
    return p;
}

QString App::path() { return pathOverride().isEmpty() ? win::appPath() : pathOverride(); }

void App::setPathOverride(const QString& winPath) { pathOverride() = winPath; }

bool App::prevInstance() { return prevInstance(win::exeName()); }

bool App::prevInstance(const QString& programName) {
    static QHash<QString, std::shared_ptr<QLockFile>> held;
    if (held.contains(programName)) return false;
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) runtime = QDir::tempPath();
    QDir().mkpath(runtime);
    auto lock = std::make_shared<QLockFile>(runtime + "/lumidoc-" + programName + ".lock");
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return true;
    held.insert(programName, lock);
    return false;
}

double App::twipsPerPixelX() { return 1440.0 / logicalDpi(true); }
double App::twipsPerPixelY() { return 1440.0 / logicalDpi(false); }

}  // namespace forms
