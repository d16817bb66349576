#include "core/workbookname.h"

#include "core/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace keli {

QString sourceFolder(const Settings &settings)
{
    const QString folder = settings.lastFolder();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::currentPath();
}

QString proposedWorkbookPath(const QString &folder, const QString &objectName)
{
    // "/" and "\" would make a folder of a part of the name; the others are refused on the disks
    // users share with other systems. Dots and blanks at the ends are dropped.
    static const QRegularExpression unfit(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f])"));
    QString name = objectName;
    name.replace(unfit, QStringLiteral("_"));
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    name = name.trimmed();
    if (name.isEmpty())
        name = QStringLiteral("Новый");
    return QDir(folder).filePath(name + QStringLiteral(".xlsx"));
}

} // namespace keli
