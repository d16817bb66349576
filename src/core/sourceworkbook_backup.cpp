// The two backup copies kept beside a source workbook, and the report files that are never opened
// as source workbooks.
//
// Every backup carries a mark naming the workbook it backs up: the comment of its zip archive,
// which changes no part of the package and which a spreadsheet program drops when it saves the
// file (it is then the user's own workbook). A backup replaces only a file with the mark of the
// same workbook; any other file of its name is kept and the backup takes a free name beside it.

#include "core/sourceworkbook.h"

#include "core/reportbook.h"
#include "io/checkedwrite.h"
#include "xlsx/xlsxzipcomment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <initializer_list>

namespace keli {

namespace {

// The path without its last 5 characters (the extension ".xlsx").
QString withoutExtension(const QString &path)
{
    return path.left(qMax(0, path.size() - 5));
}

const QByteArray markPrefix = QByteArrayLiteral("КЕЛИ: резервная копия файла ");

QByteArray markOf(const QString &workbookPath)
{
    return markPrefix + '"' + QFileInfo(workbookPath).fileName().toUtf8() + '"';
}

QByteArray markIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const qint64 span = qMin<qint64>(file.size(), QXlsx::zipEndRecordSpan);
    if (!file.seek(file.size() - span))
        return QByteArray();
    return QXlsx::zipComment(file.read(span));
}

// A name for the backup of source: base + tail + ".xlsx", else base + tail + " (2).xlsx" and on,
// the first that is free or already this workbook's backup. Empty when none of the first hundred is.
QString backupName(const QString &source, const QString &tail)
{
    const QString base = withoutExtension(source) + tail;
    for (int n = 1; n <= 100; ++n) {
        const QString candidate = n == 1 ? base + QStringLiteral(".xlsx") : QStringLiteral("%1 (%2).xlsx").arg(base).arg(n);
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return candidate;
        if (isBackupOf(candidate, source))
            return candidate;
    }
    return QString();
}

// The backup of source under the first fitting name: a marked copy, written whole through the
// checked writer, so that an older backup is replaced only by a complete new one.
BackupResult makeBackup(const QString &source, const QString &tail)
{
    BackupResult r;
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        r.message = QStringLiteral("файл \"%1\" не прочитан").arg(QDir::toNativeSeparators(source));
        return r;
    }
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        r.message = QStringLiteral("файл \"%1\" не прочитан целиком").arg(QDir::toNativeSeparators(source));
        return r;
    }
    // A file that is no zip archive is copied as it is, unmarked: it is never replaced.
    QXlsx::setZipComment(&bytes, markOf(source));
    r.path = backupName(source, tail);
    if (r.path.isEmpty()) {
        r.message = QStringLiteral("все имена резервной копии рядом с файлом заняты другими файлами");
        return r;
    }
    r.ok = writeFileChecked(r.path, bytes, &r.message);
    if (!r.ok)
        r.message = QStringLiteral("резервная копия \"%1\": %2").arg(QDir::toNativeSeparators(r.path), r.message);
    return r;
}

} // namespace

bool isBackupOf(const QString &path, const QString &workbookPath)
{
    return QFileInfo(path).isFile() && markIn(path) == markOf(workbookPath);
}

bool isMarkedBackup(const QString &path)
{
    return QFileInfo(path).isFile() && markIn(path).startsWith(markPrefix);
}

BackupResult copyFlBak(const QString &path)
{
    return makeBackup(withoutExtension(path) + QStringLiteral(".xlsx"), QStringLiteral("B"));
}

QString saveBackupPath(const QString &path)
{
    return withoutExtension(path) + QStringLiteral("B.xlsx");
}

QString nextSaveBackupPath(const QString &path)
{
    const QString name = backupName(withoutExtension(path) + QStringLiteral(".xlsx"), QStringLiteral("B"));
    return name.isEmpty() ? saveBackupPath(path) : name;
}

QString openingBackupPath(const QString &path)
{
    return withoutExtension(path) + QStringLiteral("_1.xlsx");
}

QString backupElsewhereText(const QString &usualPath, const QString &backupPath)
{
    return QStringLiteral("Файл \"%1\" не является резервной копией этой книги и оставлен как был. Резервная "
                          "копия сохранена в файле \"%2\".")
        .arg(QFileInfo(usualPath).fileName(), QDir::toNativeSeparators(backupPath));
}

QString savedText(const QString &path, const QString &backupPath)
{
    const QString saved = QStringLiteral("Сохранено в файле \"%1\"").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    if (backupPath.isEmpty())
        return saved + QLatin1Char('.');
    return saved + QStringLiteral(", прежнее содержимое — в \"%1\".").arg(QFileInfo(backupPath).fileName());
}

BackupResult makeOpeningBackup(const QString &path)
{
    return makeBackup(path, QStringLiteral("_1"));
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
