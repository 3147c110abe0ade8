#include "forms/FileDialogService.h"

#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "forms/SystemColors.h"
#include "win/WinPath.h"

namespace forms {

namespace {

class QtFileDialogs : public FileDialogService {
public:
    FileDialogAnswer fileDialog(const FileDialogRequest& r) override {
        QFileDialog dialog(r.owner);
        dialog.setAcceptMode(r.kind == FileDialogRequest::Save ? QFileDialog::AcceptSave
                                                               : QFileDialog::AcceptOpen);
        if (r.kind == FileDialogRequest::Save) {
            dialog.setFileMode(QFileDialog::AnyFile);
            if (!(r.flags & OFN_OVERWRITEPROMPT))
                dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        } else if (r.flags & OFN_ALLOWMULTISELECT) {
            dialog.setFileMode(QFileDialog::ExistingFiles);
        } else {
            dialog.setFileMode((r.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
        }
        if (r.flags & OFN_NODEREFERENCELINKS) dialog.setOption(QFileDialog::DontResolveSymlinks);
        if (!r.caption.isEmpty()) dialog.setWindowTitle(r.caption);
        // Windows matches patterns without regard to case.
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);

        // The display texts are shown as they stand; the patterns only filter.
        QStringList nameFilters;
        for (const auto& [display, patterns] : r.filters())
            nameFilters << qtNameFilter(display, patterns);
        if (!nameFilters.isEmpty()) {
            dialog.setOption(QFileDialog::HideNameFilterDetails, true);
            dialog.setNameFilters(nameFilters);
            const int index = (r.filterIndex >= 1 && r.filterIndex <= nameFilters.size())
                                  ? r.filterIndex - 1
                                  : 0;
            dialog.selectNameFilter(nameFilters[index]);
        }
        if (!r.defaultExt.isEmpty()) dialog.setDefaultSuffix(r.defaultExt);

        if (!r.initialDir.isEmpty()) dialog.setDirectory(win::toHostPath(r.initialDir));
        if (!r.fileName.isEmpty()) {
            if (win::isDrivePath(r.fileName) || r.fileName.contains('\\')) {
                const QString host = win::toHostPath(r.fileName);
                dialog.setDirectory(QFileInfo(host).absolutePath());
                dialog.selectFile(QFileInfo(host).fileName());
            } else {
                dialog.selectFile(r.fileName);
            }
        }

        FileDialogAnswer answer;
        if (dialog.exec() != QDialog::Accepted) return answer;
        answer.confirmed = true;
        for (const QString& host : dialog.selectedFiles()) answer.files << win::fromHostPath(host);
        if (answer.files.isEmpty()) answer.confirmed = false;
        return answer;
    }

    ColorDialogAnswer colorDialog(const ColorDialogRequest& r) override {
        // Qt keeps one set of custom colours for the whole program; each caller brings its own.
        for (int i = 0; i < QColorDialog::customCount() && i < r.customColors.size(); ++i)
            QColorDialog::setCustomColor(i, fromColorRef(r.customColors[i]));
        QColorDialog dialog(r.owner);
        dialog.setCurrentColor((r.flags & CC_RGBINIT) ? fromColorRef(r.color) : QColor(Qt::black));
        ColorDialogAnswer answer;
        answer.confirmed = dialog.exec() == QDialog::Accepted;
        if (answer.confirmed) answer.color = colorRef(dialog.selectedColor());
        answer.customColors = r.customColors;
        for (int i = 0; i < QColorDialog::customCount() && i < answer.customColors.size(); ++i)
            answer.customColors[i] = colorRef(QColorDialog::customColor(i));
        return answer;
    }
};

FileDialogService*& current() {
    static FileDialogService* s = nullptr;
    return s;
}

}  // namespace

QList<QPair<QString, QString>> FileDialogRequest::filters() const {
    // The list ends at the first empty entry (the double NUL).
    QStringList parts = filter.split(QChar(0));
    QList<QPair<QString, QString>> out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        if (parts[i + 1].isEmpty()) break;
        out.append({parts[i], parts[i + 1]});
    }
    return out;
}

QString qtNameFilter(const QString& display, const QString& patterns) {
    QStringList list;
    for (QString p : patterns.split(';', Qt::SkipEmptyParts)) {
        p = p.trimmed();
        if (p.isEmpty()) continue;
        list << (p == "*.*" ? QStringLiteral("*") : p);
    }
    if (list.isEmpty()) list << QStringLiteral("*");
    return display + QStringLiteral(" (") + list.join(' ') + ')';
}

FileDialogService& fileDialogs() {
    static QtFileDialogs qt;
    return current() ? *current() : qt;
}

void setFileDialogService(FileDialogService* service) { current() = service; }

ScriptedFileDialogs::ScriptedFileDialogs() { setFileDialogService(this); }
ScriptedFileDialogs::~ScriptedFileDialogs() {
    if (current() == this) setFileDialogService(nullptr);
}

FileDialogAnswer ScriptedFileDialogs::fileDialog(const FileDialogRequest& request) {
    fileRequests << request;
    if (onFileDialog) onFileDialog(request);
    return fileAnswers.isEmpty() ? FileDialogAnswer{} : fileAnswers.takeFirst();
}

ColorDialogAnswer ScriptedFileDialogs::colorDialog(const ColorDialogRequest& request) {
    colorRequests << request;
    ColorDialogAnswer answer;
    answer.customColors = request.customColors;
    if (colorAnswers.isEmpty()) return answer;
    const ColorScript s = colorAnswers.takeFirst();
    answer.confirmed = s.confirmed;
    if (s.confirmed) answer.color = s.color;
    if (s.customColors) answer.customColors = *s.customColors;
    return answer;
}

void ScriptedFileDialogs::answerFiles(const QStringList& paths) {
    FileDialogAnswer a;
    a.confirmed = true;
    for (const QString& p : paths) a.files << (p.startsWith('/') ? win::fromHostPath(p) : p);
    fileAnswers << a;
}

void ScriptedFileDialogs::answerCancel() { fileAnswers << FileDialogAnswer{}; }

void ScriptedFileDialogs::answerColor(quint32 color, std::optional<QList<quint32>> customColors) {
    colorAnswers << ColorScript{true, color, std::move(customColors)};
}

void ScriptedFileDialogs::answerColorCancel(std::optional<QList<quint32>> customColors) {
    colorAnswers << ColorScript{false, 0, std::move(customColors)};
}

}  // namespace forms
