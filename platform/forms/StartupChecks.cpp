#include "forms/StartupChecks.h"

#include "forms/App.h"
#include "forms/MessageBox.h"
#include "win/CodePage.h"
#include "win/WinPath.h"

namespace forms {

bool checkDriveC() {
    const win::DriveCSetting drive = win::driveCSetting();
    if (drive.usable) return true;
    const QString how = QStringLiteral(
        "The programs delete their working folders on drive C, so its folder must be an absolute "
        "path that is neither the root folder, the home folder nor a folder above it, and it must "
        "be Lumidoc's own: a new or empty folder, or one marked by a file named ") +
        QString::fromLatin1(win::kDriveCMark) + QStringLiteral(" in it.\r\n\r\n"
        "Set LUMIDOC_DRIVE_C to another folder.");
    if (drive.folder.isEmpty()) {
        msgBox(QStringLiteral("Drive C has no folder: LUMIDOC_DRIVE_C is not set and no home folder "
                              "is known.\r\n\r\n") + how,
               vbCritical);
    } else {
        const QString from = drive.variable.isEmpty()
                                 ? QStringLiteral("(the default, as LUMIDOC_DRIVE_C is not set)")
                                 : QStringLiteral("(set by ") + drive.variable + ")";
        msgBox(QStringLiteral("This folder cannot be drive C:\r\n") + drive.folder + "\r\n" + from +
                   "\r\n\r\n" + how,
               vbCritical);
    }
    return false;
}

bool checkProgramFolder(const QString& consequence) {
    const QString folder = App::path();
    if (win::ansiCanCarry(folder)) return true;
    msgBox(QStringLiteral("The name of the program folder\r\n") + win::toHostPath(folder) +
               QStringLiteral("\r\nhas characters that the ANSI code page in force (") +
               win::ansiCodePageLabel() + QStringLiteral(") cannot carry, so ") + consequence +
               QStringLiteral("\r\n\r\nMove the program folder to a name without those "
                              "characters, or use the desktop in the language of its name."),
           vbCritical);
    return false;
}

}  // namespace forms
