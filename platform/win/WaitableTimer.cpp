#include "win/WaitableTimer.h"

#include <QHash>

#include <climits>

namespace win {

namespace {

using Clock = std::chrono::steady_clock;

struct NamedTimer {
    Clock::time_point due = Clock::time_point::max();
    int handles = 0;
};

struct Registry {
    QHash<QString, NamedTimer> byName;
    QHash<TimerHandle, QString> handles;
    TimerHandle next = 1;
};

Registry& registry() {
    static Registry r;
    return r;
}

NamedTimer* lookup(TimerHandle h) {
    auto& r = registry();
    auto it = r.handles.constFind(h);
    if (it == r.handles.constEnd()) return nullptr;
    auto t = r.byName.find(it.value());
    return t == r.byName.end() ? nullptr : &t.value();
}

}  // namespace

TimerHandle openWaitableTimer(const QString& name) {
    if (name.isEmpty()) return 0;
    auto& r = registry();
    NamedTimer& t = r.byName[name];
    ++t.handles;
    TimerHandle h = r.next++;
    if (r.next == 0) r.next = 1;
    r.handles.insert(h, name);
    return h;
}

bool setWaitableTimer(TimerHandle handle, long long milliseconds) {
    NamedTimer* t = lookup(handle);
    if (!t) return false;
    if (milliseconds < 0) milliseconds = 0;
    t->due = Clock::now() + std::chrono::milliseconds(milliseconds);
    return true;
}

long long timerRemaining(TimerHandle handle) {
    NamedTimer* t = lookup(handle);
    if (!t) return -1;
    if (t->due == Clock::time_point::max()) return LLONG_MAX;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(t->due - Clock::now()).count();
    return left > 0 ? left : 0;
}

void closeWaitableTimer(TimerHandle handle) {
    auto& r = registry();
    auto it = r.handles.find(handle);
    if (it == r.handles.end()) return;
    const QString name = it.value();
    r.handles.erase(it);
    auto t = r.byName.find(name);
    if (t != r.byName.end() && --t.value().handles <= 0) r.byName.erase(t);
}

int openTimerCount() { return int(registry().handles.size()); }

}  // namespace win
