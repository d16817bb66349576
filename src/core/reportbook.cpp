#include "core/reportbook.h"

#include "core/com.h"
#include "core/reporttext.h"
#include "core/writefailure.h"
#include "io/checkedwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace keli {

const QString report1BookName = QStringLiteral("Otchet1.xlsx");
const QString report1TemplateName = QStringLiteral("otchet1Empty.xlsx");
const QString report2BookName = QStringLiteral("result.xlsx");
const QString report2TemplateName = QStringLiteral("otchet2Empty.xlsx");
const QString stopListBookName = QStringLiteral("СтоплистОтчет.xlsx");

void fmts(ReportFormats &f)
{
    using QXlsx::Format;
    f.leftBorderFormat.setLeftBorderStyle(Format::BorderThin);
    f.leftBorderFormat.setHorizontalAlignment(Format::AlignHCenter);

    f.sideBorderFormat.setLeftBorderStyle(Format::BorderThin);
    f.sideBorderFormat.setRightBorderStyle(Format::BorderThin);
    f.sideBorderFormat.setHorizontalAlignment(Format::AlignHCenter);

    f.sideBorderLeftFormat.setLeftBorderStyle(Format::BorderThin);
    f.sideBorderLeftFormat.setRightBorderStyle(Format::BorderThin);
    f.sideBorderLeftFormat.setHorizontalAlignment(Format::AlignLeft);

    f.bottomBorderFormat.setLeftBorderStyle(Format::BorderThin);
    f.bottomBorderFormat.setRightBorderStyle(Format::BorderThin);
    f.bottomBorderFormat.setBottomBorderStyle(Format::BorderThin);
    f.bottomBorderFormat.setHorizontalAlignment(Format::AlignHCenter);
}

void chistka(QXlsx::Document &book, int firstRow, int lastRow, int firstCol, int lastCol)
{
    const QXlsx::Format keep;
    // Rows past the sheet's last entry hold nothing to clear: writing them would only add cells.
    lastRow = qMin(lastRow, book.lastRow());
    for (int r = firstRow; r <= lastRow; ++r)
        for (int c = firstCol; c <= lastCol; ++c)
            book.write(r, c, QString(), keep);
}

QString saveFailedMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось сохранить файл \"%1\". %2")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), writeFailureReason(path, reason));
}

QString installedTemplatesDir(const QString &programDir)
{
    return QDir::cleanPath(programDir + QStringLiteral("/../share/keli/templates"));
}

bool provideTemplate(const QString &workDir, const QString &installedDir, const QString &templateName)
{
    const QString target = QDir(workDir).filePath(templateName);
    if (installedDir.isEmpty() || QFileInfo::exists(target))
        return true;
    // Read whole and written through the checked writer: the copy is whole or absent. It is a new
    // file of the user's, writable (the stop-list workbook is filled in place), though installed
    // files are read-only.
    QFile source(QDir(installedDir).filePath(templateName));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    return bytes.size() == source.size() && writeFileChecked(target, bytes, nullptr);
}

std::unique_ptr<QXlsx::Document> openReportTemplate(const QString &dir, const QString &templateName)
{
    const QString path = QDir(dir).filePath(templateName);
    if (!QFileInfo::exists(path))
        return nullptr;
    auto book = std::make_unique<QXlsx::Document>(path);
    if (!book->isLoadPackage())
        return nullptr;
    book->selectSheet(QStringLiteral("Лист1"));
    return book;
}

void ReportTemplates::load(const QString &dir, const QString &installedDir, const QStringList &templateNames)
{
    for (const QString &name : templateNames) {
        const QString from = QFileInfo::exists(QDir(dir).filePath(name)) || installedDir.isEmpty() ? dir : installedDir;
        std::shared_ptr<const QXlsx::Document> book = openReportTemplate(from, name);
        if (book) {
            m_books.insert(name, book);
            m_folders.insert(name, from);
        }
    }
}

std::unique_ptr<QXlsx::Document> ReportTemplates::open(const QString &templateName) const
{
    const std::shared_ptr<const QXlsx::Document> book = m_books.value(templateName);
    if (!book)
        return nullptr;
    auto copy = std::make_unique<QXlsx::Document>(*book);
    copy->selectSheet(QStringLiteral("Лист1"));
    return copy;
}

std::unique_ptr<QXlsx::Document> openReportTemplate(const QString &dir, const QString &templateName,
                                                    const ReportTemplates *templates)
{
    return templates && templates->contains(templateName) ? templates->open(templateName)
                                                          : openReportTemplate(dir, templateName);
}

BookResult templateMissing(const QString &dir, const QString &bookName, const QString &message)
{
    QFile::remove(QDir(dir).filePath(bookName));
    return {BookResult::TemplateMissing, message};
}

BookResult saveBook(QXlsx::Document &book, const QString &path)
{
    BookResult r;
    if (!book.saveAs(path)) {
        r.status = BookResult::SaveFailed;
        r.message = saveFailedMessage(path, book.errorString());
    }
    return r;
}

QString workbookPeriod(int fileMonth, int calcYear)
{
    return QStringLiteral("Расчетный период: ") + com::periodText(fileMonth, calcYear);
}

QVariant bookNumber(double value)
{
    return QVariant(finiteOr0(value));
}

} // namespace keli
