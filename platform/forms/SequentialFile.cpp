#include "forms/SequentialFile.h"

#include <QFile>

#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/RuntimeError.h"
#include "win/SafeTree.h"
#include "win/WinPath.h"

namespace forms {

SequentialReader::SequentialReader(const QString& winPath) {
    QFile f(win::toHostPath(winPath));
    if (!f.open(QIODevice::ReadOnly)) throw win::RuntimeError(win::kErrFileNotFound, "File not found");
    data_ = f.readAll();
    // A Ctrl+Z marks the end of a text file for the runtime.
    const int eofMark = data_.indexOf('\x1a');
    if (eofMark >= 0) data_.truncate(eofMark);
}

bool SequentialReader::atEnd() const {
    int p = pos_;
    while (p < data_.size() && (data_[p] == ' ' || data_[p] == '\t' || data_[p] == '\r' ||
                                data_[p] == '\n')) {
        ++p;
    }
    return p >= data_.size();
}

QString SequentialReader::next() {
    if (pos_ >= data_.size()) throw win::RuntimeError(win::kErrInputPastEnd, "Input past end of file");
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t')) ++pos_;
    QByteArray field;
    auto endField = [&]() {
        // Skip to and past the separator: a comma, or a line end (CR LF counts as one).
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') {
            ++pos_;
        }
        if (pos_ < data_.size()) {
            if (data_[pos_] == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
        }
    };
    if (pos_ < data_.size() && data_[pos_] == '"') {
        ++pos_;
        const int close = data_.indexOf('"', pos_);
        const int end = close < 0 ? data_.size() : close;
        field = data_.mid(pos_, end - pos_);
        pos_ = close < 0 ? data_.size() : close + 1;
        endField();
    } else {
        const int start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') {
            ++pos_;
        }
        field = data_.mid(start, pos_ - start);
        while (!field.isEmpty() && (field.endsWith(' ') || field.endsWith('\t'))) field.chop(1);
        endField();
    }
    return win::fromAnsi(field);
}

QString SequentialReader::nextLine() {
    if (pos_ >= data_.size()) throw win::RuntimeError(win::kErrInputPastEnd, "Input past end of file");
    int end = pos_;
    while (end < data_.size() && data_[end] != '\r' && data_[end] != '\n') ++end;
    const QByteArray line = data_.mid(pos_, end - pos_);
    pos_ = end;
    if (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
    if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
    return win::fromAnsi(line);
}

SequentialWriter::SequentialWriter(const QString& winPath, bool append)
    : path_(winPath), append_(append) {
    // Check at once that the file can be written, as opening it would. Output replaces the
    // file whole at close, so a failed write never leaves the old content half overwritten.
    if (append) {
        win::appendToFile(winPath, QByteArray());
    } else {
        replacement_ = std::make_unique<win::FileReplacement>(winPath);
    }
}

SequentialWriter::~SequentialWriter() {
    try {
        close();
    } catch (...) {
    }
}

void SequentialWriter::write(const QVariantList& fields) {
    QByteArray line;
    for (int i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        const QVariant& v = fields[i];
        switch (v.typeId()) {
            case QMetaType::Bool: line += v.toBool() ? "#TRUE#" : "#FALSE#"; break;
            case QMetaType::Int:
            case QMetaType::Short:
            case QMetaType::Long:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Double: line += v.toString().toLatin1(); break;
            default: line += '"' + win::toAnsi(v.toString()) + '"'; break;
        }
    }
    out_ += line + "\r\n";
}

void SequentialWriter::print(const QString& text) { out_ += win::toAnsi(text) + "\r\n"; }

void SequentialWriter::close() {
    if (closed_) return;
    closed_ = true;
    if (append_) {
        win::appendToFile(path_, out_);
        return;
    }
    replacement_->write(out_.constData(), out_.size());
    replacement_->commit();
}

}  // namespace forms
