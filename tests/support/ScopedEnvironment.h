#pragma once
// Environment variables set (or, given nullptr, removed) for the life of the object; the old
// values come back at its end. The ANSI code page follows the locale, so tests that rely on
// one name it: ScopedEnvironment western{{"LUMIDOC_ACP", "1252"}}.
#include <QByteArray>
#include <QtGlobal>

#include <initializer_list>
#include <utility>
#include <vector>

namespace testing_support {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            if (value) qputenv(name, value);
            else qunsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (auto s = saved_.rbegin(); s != saved_.rend(); ++s)
            s->set ? (void)qputenv(s->name, s->value) : (void)qunsetenv(s->name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool set;
    };
    std::vector<Saved> saved_;
};

}  // namespace testing_support

#include <QFile>
#include <QTemporaryDir>

namespace testing_support {

// For a death test whose child ends without unwinding, so its fixture's folders would stay: the
// child (which inherits the environment) makes its temporary folders inside this one, which
// goes with the test.
class TemporaryFolderForChildren {
public:
    TemporaryFolderForChildren() : path_(QFile::encodeName(dir_.path())), env_{{"TMPDIR", path_.constData()}} {}

private:
    QTemporaryDir dir_;
    QByteArray path_;
    ScopedEnvironment env_;
};

}  // namespace testing_support
