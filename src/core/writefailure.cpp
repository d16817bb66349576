#include "core/writefailure.h"

#include <QDir>
#include <QFileInfo>

namespace keli {

QString writeFailureReason(const QString &path, const QString &detail)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    const QString folderName = QDir::toNativeSeparators(folder.absoluteFilePath());
    if (!folder.isDir())
        return QStringLiteral("Папки \"%1\" нет.").arg(folderName);
    if (file.isDir())
        return QStringLiteral("На месте файла находится папка с тем же именем.");
    if (!folder.isWritable())
        return QStringLiteral("Нет прав на запись в папку \"%1\".").arg(folderName);
    if (file.exists() && !file.isWritable())
        return QStringLiteral("Файл защищен от записи.");
    if (detail.isEmpty())
        return QStringLiteral("Запись не удалась.");
    return QStringLiteral("Запись не удалась: %1.").arg(detail);
}

} // namespace keli
