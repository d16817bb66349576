#include "prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace keli {

Prompts Prompts::standard()
{
    Prompts p;
    p.askYesNo = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    p.openFileName = [](QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
    p.anyFileName = [](QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filter) {
        QFileDialog dialog(parent, caption, dir, filter);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    p.inform = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
        box.exec();
    };
    return p;
}

} // namespace keli
