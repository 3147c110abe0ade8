// The images-to-PDF program: its one window, loaded and shown.
#include <QApplication>

#include "frmPrinting.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    frmPrinting window;
    window.Form_Load();
    if (window.endedAsSecondInstance) return 0;
    window.show();
    return app.exec();
}
