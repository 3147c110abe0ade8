// The conversion run: each image becomes a one-page PDF, pdftk joins the pages and sets the
// document information, and the result is copied into the output folder under the title.
#include "frmPrinting.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <memory>

#include "API.h"
#include "DOSOutputs.h"
#include "Module1.h"
#include "PageSize.h"
#include "PictureDecoder.h"
#include "SettingsFile.h"
#include "forms/App.h"
#include "forms/MessageBox.h"
#include "forms/SequentialFile.h"
#include "forms/Shell.h"
#include "pdfwrite/PdfBox.h"
#include "win/CodePage.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"

namespace {

const QString kCreator = QStringLiteral("Lumidoc - Scanned Image To PDF");
const QString kPageBitmap = QStringLiteral("c:\\tmp\\tmp.bmp");
const QString kInfoFile = QStringLiteral("c:\\tmp\\info.txt");
const QString kJoined = QStringLiteral("c:\\tmp\\tmpx.pdf");
const QString kRunTitle = QStringLiteral("Convert");

QString pageFile(int i) { return "c:\\jpgtmp\\" + QString::number(i) + ".pdf"; }
QString joinedFile(int k) { return "c:\\tmp\\tmp" + QString::number(k) + ".pdf"; }

// Percentage of step `i` of `last`: with a single image there is nothing to divide, and its
// page is the whole of the work.
int percent(int i, int last) {
    if (last <= 0) return 100;
    return int(std::floor(double(i) / double(last) * 100.0));
}

// pdftk reads each value as ASCII with XML character references for everything else, so a
// value arrives as typed only in that form ("&" included, which would start a reference).
QString infoValue(const QString& text) {
    QString out;
    for (const uint c : text.toUcs4()) {
        if (c == '&' || c < 32 || c > 126) out += "&#" + QString::number(c) + ";";
        else out += QChar(c);
    }
    return out;
}

// What pdftk printed, for a message that names a failed step: its first lines, without the
// frames of a Java stack or pdftk's request to report its own fault, when it printed anything.
QString pdftkSaid(const QString& outputs) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    QStringList lines;
    for (const QString& line : outputs.split(lineBreaks, Qt::SkipEmptyParts)) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("There was a problem with pdftk"))) break;
        if (!text.isEmpty() && !text.startsWith(QLatin1String("at "))) lines << text;
    }
    if (lines.isEmpty()) return QString();
    QString text = lines.mid(0, 3).join(QStringLiteral("\r\n"));
    if (text.size() > 400) text = text.left(400) + "...";
    else if (lines.size() > 3) text += QStringLiteral("\r\n...");
    return "\r\n\r\npdftk said:\r\n" + text;
}

// The title names the output file, so it must be a valid Windows file name.
bool validFileTitle(const QString& title) {
    if (title.trimmed().isEmpty()) return false;
    for (const QChar c : title) {
        if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c)) return false;
    }
    return true;
}

// Page files and joined documents an earlier run left behind; removed before a run so that a
// step that fails now can never pass on an old document, and after every run.
void removeWorkFiles() {
    static const QRegularExpression joined(QStringLiteral("^tmp(\\d+|x)\\.pdf$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression page(QStringLiteral("^\\d+\\.pdf$"),
                                         QRegularExpression::CaseInsensitiveOption);
    // The ASCII-safe copies in c:\tmp that list entries use are plain numbers with the image's
    // extension and never match these names.
    const struct {
        const char* folder;
        const QRegularExpression& names;
    } places[] = {{"c:\\tmp\\", joined}, {"c:\\jpgtmp\\", page}};
    for (const auto& place : places) {
        QStringList doomed;
        win::skipOnError([&] {
            for (QString n = win::dir(QString::fromLatin1(place.folder) + "*.pdf"); !n.isEmpty();
                 n = win::dir()) {
                if (place.names.match(n).hasMatch()) doomed << n;
            }
        });
        for (const QString& n : doomed) {
            win::skipOnError([&] { win::killFile(QString::fromLatin1(place.folder) + n); });
        }
    }
    win::skipOnError([] { win::killFile(kPageBitmap); });
    win::skipOnError([] { win::killFile(kInfoFile); });
}

}  // namespace

void frmPrinting::Command3_Click() {
    using win::skipOnError;

    // Nothing to convert.
    if (List1->count() == 0) {
        forms::msgBox(QStringLiteral("Please add a file"), forms::vbExclamation, QStringLiteral("Add File"));
        FocusToolButtons();
        return;
    }

    // The run works on the list as it stands now; changes made while it runs count next time.
    QStringList entries;
    QStringList names;
    for (int i = 0; i < List1->count(); ++i) {
        entries << List1->item(i)->text();
        names << (i < List2->count() ? List2->item(i)->text() : entries.last());
    }
    const int n = int(entries.size());
    const QString programFolder = forms::App::path();

    auto refuse = [&](const QString& text, const QString& title) {
        forms::msgBox(text, forms::vbExclamation, title);
        FocusToolButtons();
    };
    auto cannotConvert = [&](int i) {
        return QStringLiteral("This file cannot be converted: it is missing, empty, damaged or "
                              "not a picture.\r\n") +
               names[i] + QStringLiteral("\r\n\r\nNo PDF document was written.");
    };
    // Why picture i is not converted.
    auto refusal = [&](int i, const PictureDecoder::Result& r) {
        using PictureDecoder::Outcome;
        const QString tail = names[i] + QStringLiteral("\r\n\r\nNo PDF document was written.");
        switch (r.outcome) {
            case Outcome::TooLarge:
                return QStringLiteral("This picture is too large to convert: %1 x %2 pixels, more "
                                      "than %3 for one page.\r\n")
                           .arg(r.size.width)
                           .arg(r.size.height)
                           .arg(r.size.tooLarge() ? QStringLiteral("%1 million pixels").arg(kMaxPicturePixels / 1000000)
                                                  : QStringLiteral("%1 pixels a side").arg(kMaxPictureSide)) +
                       tail;
            case Outcome::CutOff:
                return "This file cannot be converted: it is damaged, cut off before the end of its "
                       "picture.\r\n" + tail;
            case Outcome::Sizeless:
                return QStringLiteral("The size of this picture cannot be known before it is decoded "
                                      "(%1 format), and a picture too large for a page could take "
                                      "all the memory, so it is not converted.\r\n")
                           .arg(r.formatName) +
                       tail;
            case Outcome::TimedOut:
                return QStringLiteral("This picture could not be read in time: the picture library "
                                      "did not finish it, so it is not converted.\r\n") +
                       tail;
            case Outcome::Failed:
                return "The picture library failed on this picture (" + r.why +
                       "), so it is not converted.\r\n" + tail;
            case Outcome::NotStarted:
                return "folipress-decoder, which reads the pictures, could not be started (" + r.why +
                       ") from the program folder:\r\n" + programFolder;
            case Outcome::Done:
            case Outcome::NotPicture:
                break;
        }
        return cannotConvert(i);
    };

    // Checks that stop the run before anything is written.
    if (!validFileTitle(txtTitle->text())) {
        refuse(QStringLiteral("The document title is the name of the PDF file, so it cannot be "
                              "empty or contain any of these characters:\r\n\\ / : * ? \" < > |"),
               QStringLiteral("Document Title"));
        return;
    }
    if (txtPath->text().trimmed().isEmpty()) {
        refuse(QStringLiteral("Please enter the folder the PDF document goes into."),
               QStringLiteral("Output Path"));
        return;
    }
    if (!win::fileExists(programFolder + "\\pdftk.exe")) {
        refuse(QStringLiteral("pdftk.exe, which joins the pages, is missing from the program "
                              "folder:\r\n") + programFolder,
               kRunTitle);
        return;
    }
    if (!win::fileExists(PictureDecoder::programPath())) {
        refuse(QStringLiteral("folipress-decoder, which reads the pictures, is missing from the "
                              "program folder:\r\n") + programFolder,
               kRunTitle);
        return;
    }

    // No second run and no list action from the toolbar while this one runs; its checks already
    // pump window messages.
    Command3->setEnabled(false);
    for (QPushButton* b : CmdToolsBar) b->setEnabled(false);

    // The decoder program reads each picture: the format its content shows (a misnamed file, a
    // PNG saved as .jpg, is still read; a file whose content is no picture stops the run here)
    // and its size from its header, so one too large for a page is refused before it is decoded.
    const QString labelBefore = lblPB->text();
    lblPB->setText(QStringLiteral("Checking Files..."));
    QList<PictureDecoder::Result> probes;
    for (int i = 0; i < n; ++i) {
        probes << PictureDecoder::probe(entries[i]);
        if (probes.last().outcome != PictureDecoder::Outcome::Done) {
            lblPB->setText(labelBefore);
            Command3->setEnabled(true);
            for (QPushButton* b : CmdToolsBar) b->setEnabled(true);
            refuse(refusal(i, probes.last()), kRunTitle);
            return;
        }
    }

    // A run that cannot finish takes its working files away and gives the window back as it
    // was before the run. Without a text the runner has told the user already.
    auto abandon = [&](const QString& text) {
        removeWorkFiles();
        if (!text.isEmpty()) forms::msgBox(text, forms::vbCritical, kRunTitle);
        pb->setValue(0);
        lblPB->setText(QStringLiteral("0%"));
        Command3->setEnabled(true);
        for (QPushButton* b : CmdToolsBar) {
            b->setEnabled(true);
            b->setFocus(Qt::OtherFocusReason);
        }
    };

    // Working folders.
    skipOnError([&] { win::makeFolder(txtPath->text()); });
    skipOnError([] { win::makeFolder("c:\\tmp"); });
    skipOnError([] { win::makeFolder("c:\\jpgtmp"); });
    skipOnError([] { win::killFile("c:\\jpgtmp\\jpgtmp.pdf"); });
    removeWorkFiles();

    // The settings of this run.
    skipOnError([&] {
        SettingsFile::Write(programFolder + "\\setting.dll", txtTitle->text(), txtCreateFor->text(),
                            txtSubject->text(), txtKeywords->text(), Slider1->value());
    });

    // The document information for pdftk.
    skipOnError([&] {
        forms::SequentialWriter info(kInfoFile);
        const QString entries[][2] = {
            {"Title", txtTitle->text()},       {"Author", txtCreateFor->text()},
            {"CreationDate", txtCreationDate->text()}, {"Subject", txtSubject->text()},
            {"Keywords", txtKeywords->text()}, {"Creator", kCreator},
            {"Producer", kCreator},
        };
        for (const auto& entry : entries) {
            info.print("InfoBegin");
            info.print("InfoKey: " + entry[0]);
            info.print("InfoValue: " + infoValue(entry[1]));
        }
        info.close();
    });

    lblPB->setText(QStringLiteral("Preparing Files..."));
    pb->setMaximum(100);
    pb->setMinimum(0);

    // One single-page document per image. The decoder makes each page bitmap while the page
    // before it is written.
    auto decoding = std::make_unique<PictureDecoder::PageDecoding>(probes[0], entries[0], kPageBitmap);
    for (int i = 0; i < n; ++i) {
        pdfBox = CreateBox(reinterpret_cast<intptr_t>(this), 0);
        API::SetNumPropChecked(pdfBox, pdfbox::kDeferNameCheck, 1);
        API::SetStrPropChecked(pdfBox, pdfbox::kOutputFile, pageFile(i));
        API::SetNumPropChecked(pdfBox, pdfbox::kDeferNameCheck, 0);

        const PictureDecoder::Result bitmap = decoding->finish();
        decoding.reset();
        win::pumpMessages();
        if (bitmap.outcome != PictureDecoder::Outcome::Done) {
            FreeBox(pdfBox);
            // The picture does not decode, or changed since the run began.
            abandon(refusal(i, bitmap));
            return;
        }
        if (i + 1 < n)
            decoding = std::make_unique<PictureDecoder::PageDecoding>(probes[i + 1], entries[i + 1], kPageBitmap);
        API::SetStrPropChecked(pdfBox, pdfbox::kCreator, kCreator);

        const PageSize size = PageSizeFor(int(bitmap.size.width), int(bitmap.size.height));
        const short W = size.W;
        const short H = size.H;
        API::SetNumPropChecked(pdfBox, pdfbox::kPageWidth, W);
        API::SetNumPropChecked(pdfBox, pdfbox::kPageHeight, H);
        API::SetNumPropChecked(pdfBox, pdfbox::kUnit, pdfbox::kTenthMillimetres);
        API::SetNumPropChecked(pdfBox, pdfbox::kJpegQuality, Slider1->value());
        API::SetNumPropChecked(pdfBox, pdfbox::kPictureCompression, pdfbox::kPictureJpeg);
        API::SetNumPropChecked(pdfBox, pdfbox::kStreamCompression, 2);

        API::CheckPdfResult(BeginDoc(pdfBox));
        API::CheckPdfResult(StretchDrawFromFile(pdfBox, 0, 0, W, H, win::toAnsi(kPageBitmap).constData()));
        API::CheckPdfResult(EndDoc(pdfBox));
        FreeBox(pdfBox);

        const int p = percent(i, n - 1);
        pb->setValue(p);
        lblPB->setText("Preparing Files..." + QString::number(p) + "%");
        win::pumpMessages();
    }

    // The first page starts the joined document.
    pb->setValue(100);
    lblPB->setText(QStringLiteral("Now Start Creating..."));
    skipOnError([] { win::copyFile(pageFile(0), joinedFile(1)); });

    // One pdftk step; false when it did not succeed, the run then given up and the user told.
    // `step` says what it was for, as the message names it.
    auto runPdftk = [&](const QString& arguments, const QString& step) {
        WatchedProcess = QStringLiteral("pdftk.exe");
        dosRunner->setCommandLine(programFolder + "\\pdftk.exe " + arguments);
        dosRunner->ExecuteCommand(QString());
        if (dosRunner->StartFailed()) {
            abandon(QString());
            return false;
        }
        if (dosRunner->Succeeded()) return true;
        abandon("pdftk could not " + step + " (" + dosRunner->EndDescription() +
                "), so no PDF document was written." + pdftkSaid(dosRunner->Outputs()));
        return false;
    };

    // Join the pages one by one.
    for (int k = 1; k <= n - 1; ++k) {
        if (!runPdftk(joinedFile(k) + " " + pageFile(k) + " cat output " + joinedFile(k + 1) +
                          " dont_ask",
                      QStringLiteral("join page %1 of %2 to the document").arg(k + 1).arg(n)))
            return;
        skipOnError([&] { win::killFile(joinedFile(k)); });
        const int p = percent(k, n - 1);
        pb->setValue(p);
        lblPB->setText("Creating..." + QString::number(p) + "%");
        win::pumpMessages();
    }

    // The document information.
    if (!runPdftk(joinedFile(n) + " update_info " + kInfoFile + " output " + kJoined + " dont_ask",
                  QStringLiteral("set the document information")))
        return;

    // The folder box loses a trailing backslash.
    if (txtPath->text().endsWith('\\')) txtPath->setText(txtPath->text().chopped(1));

    // The result goes into the output folder; a failure here is the user's to know.
    const QString target = txtPath->text() + "\\" + txtTitle->text() + ".pdf";
    if (!win::fileExists(kJoined)) {
        abandon(QStringLiteral("pdftk could not join the pages, so no PDF document was written."));
        return;
    }
    QString copyError;
    try {
        win::copyFile(kJoined, target);
    } catch (const win::RuntimeError& e) {
        copyError = e.description();
    }
    if (!copyError.isEmpty()) {
        abandon("The PDF document could not be saved as\r\n" + target + "\r\n(" + copyError + ")");
        return;
    }

    pb->setValue(0);
    lblPB->setText(QStringLiteral("Removing Temporary Files..."));
    removeWorkFiles();
    lblPB->setText(QStringLiteral("Done."));

    Command3->setEnabled(true);
    forms::shellOpen(txtPath->text());
    forms::beep();

    // The toolbar comes back, each button given the focus in turn.
    for (QPushButton* b : CmdToolsBar) {
        b->setEnabled(true);
        b->setFocus(Qt::OtherFocusReason);
    }
}

void frmPrinting::WriteHeading(const QString& text, short y) {
    API::SetNumPropChecked(pdfBox, pdfbox::kFontSize, 20);
    API::SetNumPropChecked(pdfBox, pdfbox::kTextBold, 1);
    API::SetNumPropChecked(pdfBox, pdfbox::kTextColor, 0xFF0000);
    API::CheckPdfResult(TextOut(pdfBox, 200, y, win::toAnsi(text).constData()));
    API::SetNumPropChecked(pdfBox, pdfbox::kFontSize, 10);
    API::SetNumPropChecked(pdfBox, pdfbox::kTextBold, 0);
    API::SetNumPropChecked(pdfBox, pdfbox::kTextColor, 0);
}
