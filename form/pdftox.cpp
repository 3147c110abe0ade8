#include "pdftox.h"

#include "win/MessagePump.h"
#include "win/RuntimeError.h"

int ExportProgress(int, int, int) {
    win::skipOnError([] { win::pumpMessages(); });
    return 1;
}
