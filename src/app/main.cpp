#include "keli.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Keli w;
    w.show();
    return app.exec();
}
