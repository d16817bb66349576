#pragma once
// Qt's own texts (buttons of message boxes, file and print dialogs, error texts) in Russian.

class QCoreApplication;

namespace keli {

// Loads Qt's Russian translations from Qt's translations folder into app, whatever the system
// locale. False when they are not installed (the texts then stay English).
bool loadQtRussian(QCoreApplication &app);

} // namespace keli
