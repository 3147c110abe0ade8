#include "Globals.h"

#include <cstdlib>

#include "CommonDlgsW.h"
#include "DecoderProcess.h"

CommonDlgsW* dlgOpen = nullptr;

namespace {

std::function<void(int)>& programEnd() {
    static std::function<void(int)> end;
    return end;
}

}  // namespace

void setProgramEnd(std::function<void(int)> end) { programEnd() = std::move(end); }

void EndProgram(int exitCode) {
    DecoderProcess::endRunning();
    if (programEnd()) programEnd()(exitCode);
    std::_Exit(exitCode);
}
