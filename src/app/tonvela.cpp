// The desktop program.
#include <QApplication>

#include "ui/MainDlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tonvela::CMainDlg window;
    window.show();
    return app.exec();
}
