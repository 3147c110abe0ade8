#pragma once
// Sequential field input and output with the runtime's quoting rules, in the ANSI code page.
#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

namespace win {
class FileReplacement;
}

namespace forms {

// Input #: fields separated by commas or line ends; a field that starts with a quote runs to
// the next quote; leading blanks are skipped and an unquoted field loses its trailing blanks.
class SequentialReader {
public:
    // Raises RuntimeError 53 when the file cannot be opened.
    explicit SequentialReader(const QString& winPath);
    // The next field; raises RuntimeError 62 ("Input past end of file") at the end.
    QString next();
    // Line Input: the rest of the current line.
    QString nextLine();
    bool atEnd() const;

private:
    QByteArray data_;
    int pos_ = 0;
};

// Write #: texts quoted, numbers and Booleans bare, fields separated by commas, each call one
// line ending in CR LF. Print #: the text as it is plus CR LF.
class SequentialWriter {
public:
    // Raises RuntimeError when the file cannot be created.
    explicit SequentialWriter(const QString& winPath, bool append = false);
    ~SequentialWriter();
    void write(const QVariantList& fields);
    void print(const QString& text);
    void close();

private:
    QString path_;
    std::unique_ptr<win::FileReplacement> replacement_;  // output: the file being replaced
    QByteArray out_;
    bool append_ = false;
    bool closed_ = false;
};

}  // namespace forms
