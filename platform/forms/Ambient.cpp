#include "forms/Ambient.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>

namespace forms {

namespace {
QVariant stated(const QWidget* container, const char* name) {
    return container ? container->property(name) : QVariant();
}
}  // namespace

int containerScaleMode(const QWidget* container) {
    const QVariant v = stated(container, "ScaleMode");
    return v.isValid() ? v.toInt() : vbTwips;
}

void setContainerScaleMode(QWidget* container, int mode) {
    if (container) container->setProperty("ScaleMode", mode);
}

QString ambientScaleUnits(const QWidget* container) {
    static const char* const kNames[] = {"User", "Twip",       "Point",     "Pixel",
                                         "Character", "Inch", "Millimeter", "Centimeter"};
    const int mode = containerScaleMode(container);
    return mode >= 0 && mode <= 7 ? QString::fromLatin1(kNames[mode]) : QString();
}

QFont ambientFont(const QWidget* container) {
    return container ? container->font() : QApplication::font();
}

qint32 ambientBackColor(const QWidget* container) {
    const QVariant v = stated(container, "BackColor");
    return v.isValid() ? qint32(v.toLongLong()) : qint32(0x8000000F);
}

qint32 ambientForeColor(const QWidget* container) {
    const QVariant v = stated(container, "ForeColor");
    return v.isValid() ? qint32(v.toLongLong()) : qint32(0x80000012);
}

}  // namespace forms
