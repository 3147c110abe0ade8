#pragma once
// The programs build and compare Windows paths; this maps them to host paths at the one
// boundary where files are touched or programs started.
//   C:\...  -> $LUMIDOC_DRIVE_C/...  (default $XDG_DATA_HOME/lumidoc/drive_c, that is
//              ~/.local/share/lumidoc/drive_c; the home folder from the password database
//              when HOME is unset or not absolute)
//   Z:\...  -> /...                  (the host root)
//   other drive letters are not mapped: they behave like a missing drive.
// Components that do not exist as spelled are looked up case-insensitively.
#include <QString>
#include <QStringList>

namespace win {

// The folders deleted at start-up lie on drive C, so its folder must not hold the user's own:
// it must be absolute and neither the root folder, a home folder nor a folder above one.
// True when `folder` breaks that rule for any of `homeFolders` (compared as given).
bool driveCFolderRefused(const QString& folder, const QStringList& homeFolders);

// The working folders the tools keep on drive C (matched without regard to case).
inline constexpr const char* kWorkingFolders[] = {"tmp", "jpgtmp", "tmpfolipress", "ocrtmp"};

// The file that marks a folder as the suite's own drive C. The suite writes it into the drive-C
// folder it uses; a user marks an existing folder by making a file of this name in it.
extern const char* const kDriveCMark;

// Drive C as the environment sets it.
struct DriveCSetting {
    QString folder;    // as set ("" when there is no default: no home folder is known)
    QString variable;  // the variable that set it, "LUMIDOC_DRIVE_C", or "" for the default
    bool usable = false;
};
// Refused folders (driveCFolderRefused with the home folder of HOME and of the password
// database, each as written and with links resolved) are not usable; nor is a folder the suite
// cannot tell is its own: only the default folder, a new or empty folder, one with the mark,
// or one holding nothing but the working folders (an earlier version's) are. A usable folder
// is made when missing and given the mark.
DriveCSetting driveCSetting();

// Folder that stands for drive C (created on first use); "" when the setting is not usable,
// and drive C then behaves like a missing drive.
QString driveCFolder();

// Host path for a Windows path. Relative paths (no drive) are taken relative to the current
// folder. An unmapped drive yields a path under a folder that never exists.
QString toHostPath(const QString& winPath);

// Windows form of a host path: the C: form under the drive-C folder, Z: elsewhere.
QString fromHostPath(const QString& hostPath);

// True when the text is a drive path ("X:\..." or "X:/...").
bool isDrivePath(const QString& text);

// The program folder (folder of the running executable) as a Windows path, no trailing "\".
QString appPath();

// Base name of the running executable without extension ("lumidoc").
QString exeName();

}  // namespace win
