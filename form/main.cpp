// The text-recognition program: its main window is the whole program.
#include <QApplication>
#include <QTimer>

#include "Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("lumidoc");
    Form1 form;
    if (!form.Form_Load())
        return 0;  // another instance runs
    form.endProgram = [] { QTimer::singleShot(0, qApp, [] { QApplication::exit(0); }); };
    form.show();
    return app.exec();
}
