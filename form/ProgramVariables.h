#pragma once
// Program-wide variables of the text-recognition program.
#include <QString>

class CommonDlgsW;

extern QString DocPath;           // document shown in the viewer (or its ANSI-safe copy)
extern QString DocPassword;       // its password, "" when none was asked
extern short LangIndex;           // recognition language last chosen
extern bool StopRequested;        // set by the Stop click; ends the run after the current page
extern short BookmarkPaneShown;   // 1 or 0, passed to the viewer's bookmark pane
extern CommonDlgsW* dlgOpen;      // the program's one file dialog object
