#pragma once
// Colours as the forms runtime stores them: 0x00BBGGRR values, and "OLE colours" whose high
// byte 0x80 names a system colour (0x8000000F is the button face) taken from the desktop palette.
#include <QColor>

namespace forms {

// System colour numbers the programs use.
enum SystemColorIndex {
    COLOR_WINDOW = 5,
    COLOR_WINDOWTEXT = 8,
    COLOR_BTNFACE = 15,
    COLOR_BTNTEXT = 18,
};

// The 0x00BBGGRR value of a system colour; 0 for a number that names none.
quint32 sysColor(int index);

// The colour an OLE colour stands for (system colours resolved).
QColor oleColorToQColor(quint32 oleColor);

// 0x00BBGGRR value of a colour.
quint32 colorRef(const QColor& color);
QColor fromColorRef(quint32 colorRef);

}  // namespace forms
