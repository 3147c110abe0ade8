#pragma once
// The PDF creation-date text: "D:", the local date and time as YYYYMMDDHHNNSS, then the local
// zone's offset from Universal Time at that moment, as in "D:20190323013015+08'00".
#include <QString>

#include <ctime>

QString CreationDateText(std::time_t moment);
QString CreationDateText();  // for the present moment
