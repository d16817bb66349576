#pragma once
// The program's open and save dialogs: Qt's own file dialog on every desktop, its texts and the
// file sizes in Russian ("12,5 КБ", not "12.5 KiB").

#include <QFileDialog>
#include <QIdentityProxyModel>

namespace keli {

// A file size as the dialogs show it: "512 байт", "1,5 КБ", "2,0 МБ" (1 КБ = 1024 байт).
QString russianFileSize(qint64 bytes);

// Shows the sizes of a file system model's "Size" column in Russian; sorting stays the model's own.
class RussianSizeModel : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};

// A modal file dialog opening or saving one .xlsx file, starting in dir (a folder, or a proposed
// file path when saving).
QFileDialog *newWorkbookDialog(QWidget *parent, const QString &caption, const QString &dir,
                               const QString &filter, QFileDialog::AcceptMode mode);

// Runs such a dialog; the chosen path, empty when cancelled.
QString chooseWorkbook(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                       QFileDialog::AcceptMode mode);

} // namespace keli
