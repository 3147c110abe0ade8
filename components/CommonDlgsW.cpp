#include "CommonDlgsW.h"

#include <QFileInfo>

#include <algorithm>

#include "forms/FileDialogService.h"
#include "forms/SystemColors.h"
#include "win/RuntimeError.h"

namespace {

constexpr quint32 kColorDialogFlags = forms::CC_RGBINIT | forms::CC_FULLOPEN | forms::CC_ANYCOLOR;

// Text as a C string reads it: up to the first NUL.
QString untilNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

// `text` followed by NULs up to `chars` characters; a text that does not fit is an invalid
// argument, as the padding count would be negative.
QString padded(const QString& text, int chars) {
    if (text.size() > chars)
        throw win::RuntimeError(win::kErrInvalidCall, "Invalid procedure call or argument");
    return text + QString(chars - text.size(), QChar(0));
}

// Name after the last backslash.
QString titleOf(const QString& path) { return path.mid(path.lastIndexOf('\\') + 1); }

}  // namespace

CommonDlgsW::ColorValue& CommonDlgsW::ColorValue::operator=(qint32 value) {
    value_ = value >= 0 ? value : qint32(forms::sysColor(value & 0xFFFF));
    return *this;
}

CommonDlgsW::CommonDlgsW() : customColors_(16, 0u) {
    Color = 12632256;
    Filter = QStringLiteral("All files (*.*)|*.*");
    FilterIndex = 1;
    MaxFileSize = 256;
}

bool CommonDlgsW::ShowColor(QWidget* owner) {
    forms::ColorDialogRequest request;
    request.owner = owner;
    request.color = quint32(qint32(Color));
    request.customColors = customColors_;
    request.flags = kColorDialogFlags;
    const forms::ColorDialogAnswer answer = forms::fileDialogs().colorDialog(request);
    // Custom colours the user defined stay for the next dialog, confirmed or not.
    if (answer.customColors.size() == customColors_.size()) customColors_ = answer.customColors;
    if (!answer.confirmed) return false;
    Color = qint32(answer.color & 0x00FFFFFFu);
    return true;
}

bool CommonDlgsW::ShowOpen(QWidget* owner) { return showFileDialog(owner, false); }

bool CommonDlgsW::ShowSave(QWidget* owner) { return showFileDialog(owner, true); }

bool CommonDlgsW::showFileDialog(QWidget* owner, bool save) {
    // The file-name buffer holds 256 characters, more when a larger capacity is announced, so
    // it is never smaller than the capacity the dialog is told about.
    const int fileBufferChars = std::max(kBufferChars, int(MaxFileSize));
    const QString fileBuffer = padded(FileName, fileBufferChars);
    const QString initDirBuffer = padded(InitDir, kBufferChars);

    forms::FileDialogRequest request;
    request.kind = save ? forms::FileDialogRequest::Save : forms::FileDialogRequest::Open;
    request.owner = owner;
    request.filter = QString(Filter).replace('|', QChar(0)) + QChar(0) + QChar(0);
    request.filterIndex = FilterIndex;
    request.fileName = untilNul(fileBuffer);
    request.maxFileSize = MaxFileSize;
    request.initialDir = untilNul(initDirBuffer);
    request.caption = untilNul(DialogTitle);
    request.flags = quint32(Flags);
    request.defaultExt = untilNul(DefaultExt);

    const forms::FileDialogAnswer answer = forms::fileDialogs().fileDialog(request);
    if (!answer.confirmed || answer.files.isEmpty()) return false;

    // What the dialog writes into the file-name buffer: one full path, or with multi-select
    // and several files the folder and the names, each ended by NUL, then one more NUL.
    const bool multiSelect = Flags & forms::OFN_ALLOWMULTISELECT;
    QString written;
    if (multiSelect && answer.files.size() > 1) {
        QString folder = answer.files.first().left(answer.files.first().lastIndexOf('\\'));
        if (folder.size() == 2 && folder[1] == ':') folder += '\\';
        written = folder + QChar(0);
        for (const QString& f : answer.files) written += titleOf(f) + QChar(0);
        written += QChar(0);
    } else {
        written = answer.files.first() + QChar(0);
        if (multiSelect) written += QChar(0);
    }
    // A choice that does not fit the announced capacity fails like the platform's dialog.
    if (written.size() > MaxFileSize) return false;

    // The flags the dialog hands back: it reports a typed extension other than the default.
    quint32 returnedFlags = quint32(Flags) & ~quint32(forms::OFN_EXTENSIONDIFFERENT);
    if (!request.defaultExt.isEmpty()) {
        const QString ext = QFileInfo(titleOf(answer.files.first())).suffix();
        if (ext.compare(request.defaultExt, Qt::CaseInsensitive) != 0)
            returnedFlags |= forms::OFN_EXTENSIONDIFFERENT;
    }

    FileName = written + QString(fileBufferChars - written.size(), QChar(0));
    FileTitle.clear();
    if (!multiSelect) {
        FileName = untilNul(FileName);
        if (!(Flags & forms::OFN_NOVALIDATE)) {
            FileTitle = titleOf(FileName);
            Title = FileTitle;
        }
    }
    Flags = qint32(returnedFlags);
    return true;
}
