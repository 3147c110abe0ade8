#include "skin/SkinH.h"

namespace {
int attached = 0;
}

int SkinH_Attach() {
    ++attached;
    return 0;
}

int SkinH_Detach() {
    if (attached > 0) --attached;
    return 0;
}

int SkinH_Aero(QWidget*) { return 0; }

int SkinH_Aero_Adjust(int, int, int, int, int, int, int, int, int) { return 0; }

int SkinH_AttachCount() { return attached; }
