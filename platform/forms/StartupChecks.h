#pragma once
// Checks a tool makes at start-up, before it touches any file. A check that fails shows one
// critical message and returns false, and the tool then ends (unless the check says otherwise).
#include <QString>

namespace forms {

// Drive C must be a folder the tools may clear their working folders in: absolute, neither the
// root folder, the home folder nor a folder above it, and the suite's own (win::driveCSetting).
bool checkDriveC();

// The tool starts its outside programs from the program folder through the ANSI code page, so
// a folder name the code page cannot carry is told once (critical message, ending in
// `consequence`). It is a warning: the tool goes on, since all but those programs still works.
// True when the code page carries the folder's name.
bool checkProgramFolder(const QString& consequence);

}  // namespace forms
