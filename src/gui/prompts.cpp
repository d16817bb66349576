#include "prompts.h"

#include "filedialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace keli {

namespace {

// The button texts are set here, so they are Russian whatever translations are loaded.
void nameButton(QMessageBox &box, QMessageBox::StandardButton button, const char *text)
{
    box.button(button)->setText(QString::fromUtf8(text));
}

} // namespace

Prompts Prompts::standard()
{
    Prompts p;
    p.askYesNo = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
        nameButton(box, QMessageBox::Yes, "Да");
        nameButton(box, QMessageBox::No, "Нет");
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    p.askSave = [](QWidget *parent, const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Question, title, text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
        nameButton(box, QMessageBox::Yes, "Да");
        nameButton(box, QMessageBox::No, "Нет");
        nameButton(box, QMessageBox::Cancel, "Отмена");
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Yes: return SaveAnswer::Save;
        case QMessageBox::No: return SaveAnswer::Discard;
        default: return SaveAnswer::Cancel;
        }
    };
    p.openFileName = [](QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter) {
        return chooseWorkbook(parent, caption, dir, filter, QFileDialog::AcceptOpen);
    };
    // A save dialog: it accepts a name that does not exist yet, and asks before replacing one that
    // does.
    p.anyFileName = [](QWidget *parent, const QString &caption, const QString &proposed,
                       const QString &filter) {
        return chooseWorkbook(parent, caption, proposed, filter, QFileDialog::AcceptSave);
    };
    p.inform = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
        box.exec();
    };
    return p;
}

} // namespace keli
