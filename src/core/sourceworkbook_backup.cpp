// The two backup copies kept beside a source workbook, and the report files that are never opened
// as source workbooks.

#include "core/sourceworkbook.h"

#include "core/reportbook.h"

#include <QFile>
#include <QFileInfo>

#include <initializer_list>

namespace keli {

namespace {

// Copies source to target, replacing an older target. When there is nothing to copy the older
// target is kept: it still holds the last content that existed.
bool replaceCopy(const QString &source, const QString &target)
{
    if (!QFileInfo(source).isFile())
        return false;
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(source, target);
}

// The path without its last 5 characters (the extension ".xlsx").
QString withoutExtension(const QString &path)
{
    return path.left(qMax(0, path.size() - 5));
}

} // namespace

bool copyFlBak(const QString &path)
{
    return replaceCopy(withoutExtension(path) + QStringLiteral(".xlsx"), saveBackupPath(path));
}

QString saveBackupPath(const QString &path)
{
    return withoutExtension(path) + QStringLiteral("B.xlsx");
}

bool makeOpeningBackup(const QString &path)
{
    return replaceCopy(path, withoutExtension(path) + QStringLiteral("_1.xlsx"));
}

bool isReservedReportPath(const QString &path, const QString &workDir)
{
    for (const QString *name : {&report1BookName, &report2BookName, &report1TemplateName,
                                &report2TemplateName, &stopListBookName}) {
        if (path == workDir + QLatin1Char('/') + *name)
            return true;
    }
    return false;
}

} // namespace keli
