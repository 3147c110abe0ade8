#pragma once
// The window skin. The programs attach it at start-up; here it keeps the desktop's own Qt
// style, so every call succeeds and changes nothing a user relies on. Results: 0 = success.
class QWidget;

int SkinH_Attach();
int SkinH_Detach();
// Translucency of one window (the images-to-PDF main window asks for it).
int SkinH_Aero(QWidget* window);
int SkinH_Aero_Adjust(int alpha, int shadowColor, int shadowSize, int shadowOffsetX,
                      int shadowOffsetY, int blurRadius, int hue, int saturation, int brightness);
// Number of Attach calls not yet detached (for tests).
int SkinH_AttachCount();
