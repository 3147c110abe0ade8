#include "ProgramVariables.h"

QString DocPath;
QString DocPassword;
short LangIndex = 0;
bool StopRequested = false;
short BookmarkPaneShown = 1;
CommonDlgsW* dlgOpen = nullptr;
