#pragma once
// The programs build and compare Windows paths; this maps them to host paths at the one
// boundary where files are touched or programs started.
//   C:\...  -> $LUMIDOC_DRIVE_C/...  (default ~/.local/share/lumidoc/drive_c)
//   Z:\...  -> /...                  (the host root)
//   other drive letters are not mapped: they behave like a missing drive.
// Components that do not exist as spelled are looked up case-insensitively.
#include <QString>

namespace win {

// Folder that stands for drive C (created on first use).
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
