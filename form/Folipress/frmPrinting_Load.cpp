// Start-up and shutdown of the window, the settings file, the creation date and the quality labels.
#include "frmPrinting.h"

#include <QLineEdit>
#include <QListWidget>
#include <QLabel>
#include <QSlider>

#include "CommonDlgsW.h"
#include "CreationDate.h"
#include "DOSOutputs.h"
#include "Globals.h"
#include "Module1.h"
#include "SettingsFile.h"
#include "forms/App.h"
#include "forms/StartupChecks.h"
#include "skin/SkinH.h"
#include "win/FileSystem.h"
#include "win/MessagePump.h"
#include "win/RuntimeError.h"

void frmPrinting::Form_Load() {
    using win::skipOnError;
    // Start-up deletes folders on drive C: a drive C that could hold the user's own files ends
    // the program before anything is touched.
    if (!forms::checkDriveC()) EndProgram(1);
    if (forms::App::prevInstance()) {
        endedAsSecondInstance = true;  // the program ends without showing the window
        return;
    }
    // Without pdftk.exe files can still be listed: a warning, and the program goes on.
    forms::checkProgramFolder(QStringLiteral(
        "pdftk.exe, which joins the pages, cannot be started from it: files can be listed, but "
        "not converted to PDF."));
    skipOnError([&] { dosRunner = new DOSOutputs(this); });
    skipOnError([&] { SkinH_Attach(); });
    skipOnError([&] { SkinH_Aero(this); });
    skipOnError([&] { SkinH_Aero_Adjust(220, 0, 0, 0, 0, 0, 0, 0, 0); });
    skipOnError([&] {
        delete dlgOpen;
        dlgOpen = new CommonDlgsW;
    });
    skipOnError([&] { Slider1_Change(); });

    const QString settings = forms::App::path() + "\\setting.dll";
    bool present = false;
    skipOnError([&] { present = !win::dir(settings).isEmpty(); });
    if (present) {
        // A short file fills the boxes it has fields for; the others keep their texts, and a
        // quality that is no number from 0 to 100 leaves the slider as it is.
        QStringList fields;
        skipOnError([&] { fields = SettingsFile::Read(settings); });
        QLineEdit* boxes[4] = {txtTitle, txtCreateFor, txtSubject, txtKeywords};
        for (int i = 0; i < 4 && i < fields.size(); ++i) boxes[i]->setText(fields[i]);
        int quality = 0;
        if (fields.size() >= 5 && SettingsFile::ParseQuality(fields[4], quality)) {
            Slider1->setValue(quality);
        }
        win::pumpMessages();
    }
    skipOnError([&] { txtCreationDate->setText(CreationDateText()); });

    skipOnError([&] { List2->setGeometry(List1->geometry()); });
    skipOnError([&] { List1->hide(); });

    DeleteFolderTree("c:\\tmpfolipress");
    DeleteFolderTree("c:\\jpgtmp");
    DeleteFolderTree("c:\\tmp");
}

void frmPrinting::Form_Unload() {
    SkinH_Detach();
    EndProgram(0);
}

void frmPrinting::Command1_Click() { txtCreationDate->setText(CreationDateText()); }

void frmPrinting::Slider1_Change() {
    const int value = Slider1->value();
    lblQuality->setText(QString::number(value) + "%");
    const char* word = value > 79 ? "Best" : value > 59 ? "Good" : value > 29 ? "Medium" : "Low";
    lblQtt->setText(QString::fromLatin1(word));
}
