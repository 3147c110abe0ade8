// The launcher: one shaped window that starts either tool and ends.
#include <QApplication>

#include "frmSplash.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    frmSplash form;
    QObject::connect(&form, &frmSplash::ended, &app, [](int code) { QCoreApplication::exit(code); });
    if (!form.Form_Load()) return 0;
    form.show();
    return app.exec();
}
