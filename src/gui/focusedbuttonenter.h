#pragma once
// Enter on a push button that has the keyboard focus presses it. The buttons of our windows are not
// auto-default (Enter elsewhere presses nothing), and Qt lets such buttons answer only Space.

class QCoreApplication;

namespace keli {

// Installs the rule for every window of app.
void installEnterOnFocusedButton(QCoreApplication &app);

} // namespace keli
