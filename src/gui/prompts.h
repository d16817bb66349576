#pragma once
// The few modal questions the windows put to the user: yes/no, save or not, pick a file, an
// information box. Windows call them through this seam so that tests can answer; the defaults are
// the real QMessageBox and QFileDialog.

#include <QString>

#include <functional>

class QWidget;

namespace keli {

// Answer to "save before closing?": save, close without saving, or stay in the window.
enum class SaveAnswer { Save, Discard, Cancel };

struct Prompts
{
    // Question box with "Да" and "Нет"; true for "Да" (Esc is "Нет").
    std::function<bool(const QString &title, const QString &text)> askYesNo;
    // Question box with "Да" (save), "Нет" (discard) and "Отмена" (Esc, back to the window).
    // Unset, askYesNo is asked instead (a seam set up for the older two-button question).
    std::function<SaveAnswer(QWidget *parent, const QString &title, const QString &text)> askSave;
    // Open-file dialog; empty when cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &dir,
                          const QString &filter)>
        openFileName;
    // Save-file dialog for any name, existing or new, proposing the file `proposed` (a path);
    // the chosen path, empty when cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &proposed,
                          const QString &filter)>
        anyFileName;
    // Information box without parent, with an OK button.
    std::function<void(const QString &title, const QString &text)> inform;

    // The real dialogs.
    static Prompts standard();
};

} // namespace keli
