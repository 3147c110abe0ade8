#include "forms/SystemColors.h"

#include <QApplication>
#include <QPalette>

namespace forms {

quint32 colorRef(const QColor& c) {
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

QColor fromColorRef(quint32 c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

quint32 sysColor(int index) {
    const QPalette p = QApplication::palette();
    auto role = [&](QPalette::ColorRole r) { return colorRef(p.color(QPalette::Active, r)); };
    switch (index) {
        case 0: return role(QPalette::Mid);                        // scroll bar
        case 1: return colorRef(QColor(0x3A, 0x6E, 0xA5));         // desktop
        case 2: case 27: return role(QPalette::Highlight);         // active caption
        case 3: case 28: return role(QPalette::Mid);               // inactive caption
        case 4: case 30: return role(QPalette::Window);            // menu, menu bar
        case 5: return role(QPalette::Base);                       // window
        case 6: return role(QPalette::Shadow);                     // window frame
        case 7: return role(QPalette::WindowText);                 // menu text
        case 8: return role(QPalette::Text);                       // window text
        case 9: return role(QPalette::HighlightedText);            // caption text
        case 10: case 11: return role(QPalette::Button);           // borders
        case 12: return role(QPalette::Dark);                      // application workspace
        case 13: case 29: return role(QPalette::Highlight);        // highlight, menu highlight
        case 14: return role(QPalette::HighlightedText);
        case 15: return role(QPalette::Button);                    // button face
        case 16: return role(QPalette::Dark);                      // button shadow
        case 17: return colorRef(p.color(QPalette::Disabled, QPalette::Text));  // grey text
        case 18: return role(QPalette::ButtonText);
        case 19: return colorRef(p.color(QPalette::Inactive, QPalette::WindowText));
        case 20: return role(QPalette::Light);                     // button highlight
        case 21: return role(QPalette::Shadow);                    // 3-D dark shadow
        case 22: return role(QPalette::Midlight);                  // 3-D light
        case 23: return role(QPalette::ToolTipText);
        case 24: return role(QPalette::ToolTipBase);
        case 26: return role(QPalette::Link);                      // hot-tracked item
        default: return 0;
    }
}

QColor oleColorToQColor(quint32 oleColor) {
    if ((oleColor & 0xFF000000u) == 0x80000000u) return fromColorRef(sysColor(oleColor & 0xFFFF));
    return fromColorRef(oleColor & 0x00FFFFFFu);
}

}  // namespace forms
