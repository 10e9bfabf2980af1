#include "app/frmscan.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    kesto::frmScan window;
    window.show();
    return app.exec();
}
