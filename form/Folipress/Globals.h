#pragma once
// Program-wide objects of the images-to-PDF program.
#include <functional>

class CommonDlgsW;

// The program's one file dialog object, made at start-up and kept for the whole run.
extern CommonDlgsW* dlgOpen;

// Ends the program at once: no window closes, no handler runs, nothing is cleaned up; a picture
// decoder still running is ended first.
[[noreturn]] void EndProgram(int exitCode);
// Tests replace the ending with a routine of their own, which must not return (it throws, for
// example); an empty function brings back the real ending.
void setProgramEnd(std::function<void(int exitCode)> end);
