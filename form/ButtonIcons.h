#pragma once
// Images of the viewer window's picture buttons: the desktop's icon theme where it has them,
// our own drawings otherwise.
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ButtonIcons {

// Names: "open", "exit", "index", "actualsize", "zoomin", "zoomout", "first", "last", "next",
// "previous", "viewmode", "fitwidth".
QIcon icon(const QString& name);

// Our own drawing of the same picture (the fallback), `size` pixels square.
QPixmap drawn(const QString& name, int size);

// The desktop theme's icon name for one of the names above.
QString themeName(const QString& name);

}  // namespace ButtonIcons
