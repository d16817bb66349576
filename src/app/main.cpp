// The desktop program: the main window until it is closed. No arguments are interpreted.
#include "focusedbuttonenter.h"
#include "keli.h"
#include "translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setDesktopFileName(QStringLiteral("keli"));
    keli::loadQtRussian(app); // Qt's own texts in Russian whatever the locale
    keli::installEnterOnFocusedButton(app);
    Keli w;
    w.show();
    return app.exec();
}
