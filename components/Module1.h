#pragma once
// Program-wide state and process/folder routines shared by the tools.
#include <QString>

// Executable file name whose disappearance ends an ExecuteCommand run ("ocr.exe").
extern QString WatchedProcess;

// Ends every running process with that executable name (compared without regard to case);
// does not wait for them to end.
void KillProcessByName(const QString& exeName);

// Deletes a folder (path without trailing "\") with all its files and subfolders; attributes
// are cleared first and failures skipped silently. No link is followed, the folder itself
// included: a link is removed and what it points at is left as it was.
void DeleteFolderTree(const QString& folder);
