#pragma once
// The runtime's one error type, and statement-level error skipping.
#include <QString>

#include <exception>
#include <utility>

namespace win {

// Numbers of the runtime errors the layer raises.
enum RuntimeErrorNumber {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrTypeMismatch = 13,
    kErrBadFileName = 52,
    kErrFileNotFound = 53,
    kErrInputPastEnd = 62,
    kErrPermissionDenied = 70,
    kErrPathFileAccess = 75,
    kErrPathNotFound = 76,
};

class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description, QString source = QString())
        : number_(number), description_(std::move(description)), source_(std::move(source)) {
        what_ = description_.toUtf8();
    }
    int number() const { return number_; }
    const QString& description() const { return description_; }
    const QString& source() const { return source_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QString source_;
    QByteArray what_;
};

// Runs one statement with error skipping: a RuntimeError is swallowed (the statement is
// skipped), anything else propagates. Returns false when the statement failed.
template <class Statement>
bool skipOnError(Statement&& statement) {
    try {
        std::forward<Statement>(statement)();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// The system's own words for an errno value ("No space left on device").
QString systemErrorText(int error);

// Rounds to the nearest integer, halves to the even neighbour; out of the 16-bit range is an
// overflow error.
short roundToInt16(double value);
// The same for 32-bit integers.
int roundToInt32(double value);

}  // namespace win
