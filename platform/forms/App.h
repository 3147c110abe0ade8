#pragma once
// The forms runtime's program object: title, folder, previous instance, screen twips.
#include <QString>

class QLockFile;

namespace forms {

class App {
public:
    // The program's title (message box titles); defaults to the executable's base name.
    static QString title();
    static void setTitle(const QString& title);

    // The program folder as a Windows path without trailing "\".
    static QString path();
    // Tests lay out a program folder of their own: a non-empty Windows path replaces the
    // executable's folder until it is cleared again with "".
    static void setPathOverride(const QString& winPath);

    // True when another instance of this program (same executable name, same user) runs.
    // The first call takes the instance lock, which is kept until the process ends.
    static bool prevInstance();
    // Same test under an explicit name (tests).
    static bool prevInstance(const QString& programName);

    // Twips per pixel of the screen: 1440 / logical dots per inch (15 at 96 dpi).
    static double twipsPerPixelX();
    static double twipsPerPixelY();
};

}  // namespace forms
