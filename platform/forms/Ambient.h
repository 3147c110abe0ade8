#pragma once
// What a user control learns from its container (the ambient properties): the container's
// scale unit, font and colours. A container states them as the widget properties "ScaleMode",
// "BackColor" and "ForeColor" (OLE colours); a container that states none is a form with its
// defaults: twips, the button-face background and the button-text foreground.
#include <QFont>
#include <QString>

class QWidget;

namespace forms {

enum ScaleModeConstants {
    vbUser = 0,
    vbTwips = 1,
    vbPoints = 2,
    vbPixels = 3,
    vbCharacters = 4,
    vbInches = 5,
    vbMillimeters = 6,
    vbCentimeters = 7,
};

int containerScaleMode(const QWidget* container);
void setContainerScaleMode(QWidget* container, int mode);

// The name of the container's scale unit: "User", "Twip", "Point", "Pixel", "Character",
// "Inch", "Millimeter", "Centimeter"; "" for a mode that names none.
QString ambientScaleUnits(const QWidget* container);
QFont ambientFont(const QWidget* container);
qint32 ambientBackColor(const QWidget* container);
qint32 ambientForeColor(const QWidget* container);

}  // namespace forms
