#include "filedialogs.h"

#include <QFileSystemModel>
#include <QLocale>

#include <memory>

namespace keli {

namespace {

constexpr int kSizeColumn = 1; // of QFileSystemModel: name, size, type, date modified

} // namespace

QString russianFileSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" байт");
    static const char *const units[] = {"КБ", "МБ", "ГБ", "ТБ"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    return russian.toString(value, 'f', 1) + QLatin1Char(' ') + QString::fromUtf8(units[unit]);
}

QVariant RussianSizeModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DisplayRole && index.column() == kSizeColumn) {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        const QModelIndex source = mapToSource(index);
        if (files && !files->isDir(source))
            return russianFileSize(files->size(source));
    }
    return QIdentityProxyModel::data(index, role);
}

QFileDialog *newWorkbookDialog(QWidget *parent, const QString &caption, const QString &dir,
                               const QString &filter, QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(parent, caption, dir, filter);
    // Qt's own dialog: the platform's may be missing, English or unable to show Russian sizes.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("xlsx"));
    dialog->setProxyModel(new RussianSizeModel(dialog));
    dialog->setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog->setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog->setLabelText(QFileDialog::FileType, QStringLiteral("Тип файлов:"));
    dialog->setLabelText(QFileDialog::Accept,
                         mode == QFileDialog::AcceptOpen ? QStringLiteral("Открыть") : QStringLiteral("Сохранить"));
    dialog->setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    return dialog;
}

QString chooseWorkbook(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                       QFileDialog::AcceptMode mode)
{
    const std::unique_ptr<QFileDialog> dialog(newWorkbookDialog(parent, caption, dir, filter, mode));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return dialog->selectedFiles().constFirst();
}

} // namespace keli
