#pragma once
// The Open, Save and Colour dialogs, through a service that tests replace with a scripted one.
// The service speaks Windows paths: the initial folder and file are Windows paths, and the
// chosen files come back in Z:\... or C:\... form.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace forms {

// Open/save flags the dialogs act on (the rest are handed through unchanged).
enum FileDialogFlag : quint32 {
    OFN_READONLY = 0x1,
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_NOCHANGEDIR = 0x8,
    OFN_NOVALIDATE = 0x100,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_EXTENSIONDIFFERENT = 0x400,
    OFN_PATHMUSTEXIST = 0x800,
    OFN_FILEMUSTEXIST = 0x1000,
    OFN_EXPLORER = 0x80000,
    OFN_NODEREFERENCELINKS = 0x100000,
};

// Colour dialog flags.
enum ColorDialogFlag : quint32 {
    CC_RGBINIT = 0x1,
    CC_FULLOPEN = 0x2,
    CC_PREVENTFULLOPEN = 0x4,
    CC_ANYCOLOR = 0x100,
};

struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QWidget* owner = nullptr;
    QString caption;        // empty: the dialog's own caption
    QString filter;         // display texts and patterns, each ended by NUL, the list by one more NUL
    int filterIndex = 1;    // 1-based
    QString fileName;       // name shown first (a Windows path or a bare name)
    int maxFileSize = 256;  // capacity of the file-name buffer, in characters
    QString initialDir;     // Windows path; empty: the dialog's choice
    QString defaultExt;     // appended by the dialog when the typed name has no extension
    quint32 flags = 0;

    // The filter list as (display text, patterns) pairs; an unpaired last text is dropped.
    QList<QPair<QString, QString>> filters() const;
};

struct FileDialogAnswer {
    bool confirmed = false;
    QStringList files;  // Windows paths, in the order chosen; one unless multi-select
};

struct ColorDialogRequest {
    QWidget* owner = nullptr;
    quint32 color = 0;              // initial colour, 0x00BBGGRR
    QList<quint32> customColors;    // 16 colours, 0x00BBGGRR
    quint32 flags = 0;
};

struct ColorDialogAnswer {
    bool confirmed = false;
    quint32 color = 0;
    QList<quint32> customColors;    // the 16 custom colours as the dialog leaves them
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual FileDialogAnswer fileDialog(const FileDialogRequest& request) = 0;
    virtual ColorDialogAnswer colorDialog(const ColorDialogRequest& request) = 0;
};

// The service in force (the Qt one unless a test installed another).
FileDialogService& fileDialogs();
// Installs a service (not owned); nullptr brings back the Qt one.
void setFileDialogService(FileDialogService* service);

// Qt name filter ("Text (*.a *.b)") for one (display text, patterns) pair: ";"-separated
// patterns become space-separated and "*.*" matches every name, as on Windows.
QString qtNameFilter(const QString& display, const QString& patterns);

// For tests: records every request and answers from queues (default: cancel).
class ScriptedFileDialogs : public FileDialogService {
public:
    ScriptedFileDialogs();
    ~ScriptedFileDialogs() override;
    FileDialogAnswer fileDialog(const FileDialogRequest& request) override;
    ColorDialogAnswer colorDialog(const ColorDialogRequest& request) override;

    // Queue helpers. Paths may be Windows paths or host paths (host paths are turned into the
    // Windows form the real dialog returns).
    void answerFiles(const QStringList& paths);
    void answerFile(const QString& path) { answerFiles({path}); }
    void answerCancel();
    // A confirmed colour; custom colours, when given, replace the dialog's.
    void answerColor(quint32 color, std::optional<QList<quint32>> customColors = std::nullopt);
    void answerColorCancel(std::optional<QList<quint32>> customColors = std::nullopt);

    struct ColorScript {
        bool confirmed = false;
        quint32 color = 0;
        std::optional<QList<quint32>> customColors;
    };
    QList<FileDialogAnswer> fileAnswers;
    QList<ColorScript> colorAnswers;
    QList<FileDialogRequest> fileRequests;
    QList<ColorDialogRequest> colorRequests;
    // Runs when a dialog is shown, before it answers (lets a test act "while" it is up).
    std::function<void(const FileDialogRequest&)> onFileDialog;
};

}  // namespace forms
