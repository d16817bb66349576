// The desktop program: the main window until it is closed. No arguments are interpreted.
#include "keli.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Keli w;
    w.show();
    return app.exec();
}
