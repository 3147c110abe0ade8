#include "CreationDate.h"

#include <cstdio>
#include <cstdlib>
#include <time.h>

QString CreationDateText(std::time_t moment) {
    tzset();  // localtime_r alone may keep a zone read earlier
    std::tm local{};
    localtime_r(&moment, &local);
    const long offset = local.tm_gmtoff;  // seconds east of Universal Time, daylight saving included
    const long span = std::labs(offset);
    char text[96];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d%c%02ld'%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset >= 0 ? '+' : '-', span / 3600, (span % 3600) / 60);
    return QString::fromLatin1(text);
}

QString CreationDateText() { return CreationDateText(std::time(nullptr)); }
