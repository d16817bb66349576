#pragma once
// The few modal questions the windows put to the user: yes/no, pick a file, an information box.
// Windows call them through this seam so that tests can answer; the defaults are the real
// QMessageBox and QFileDialog.

#include <QString>

#include <functional>

class QWidget;

namespace keli {

struct Prompts
{
    // Question box with Yes and No; true for Yes.
    std::function<bool(const QString &title, const QString &text)> askYesNo;
    // Open-file dialog; empty when cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &dir,
                          const QString &filter)>
        openFileName;
    // File dialog for any name, existing or new; the first chosen path, empty when cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &dir,
                          const QString &filter)>
        anyFileName;
    // Information box without parent, with an OK button.
    std::function<void(const QString &title, const QString &text)> inform;

    // The real dialogs.
    static Prompts standard();
};

} // namespace keli
