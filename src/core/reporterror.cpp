#include "core/reporterror.h"

#include "core/com.h"
#include "core/reporttext.h"
#include "core/signoff.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <memory>

namespace keli {

const QString errorReportTitle = QStringLiteral("Ошибки и предупреждения программы");

QStringList errorReportRows(const QVector<StopListEntry> &stopList)
{
    QStringList rows;
    rows << QStringLiteral(
        "<th> № <br> п/п </th><th>Номер в файле<br> исходных<br> данных</th><th> Номер<br> группы </th>"
        "<th> Номер<br> в группе </th><th> Название ПС </th><th> Параметр </th><th> Значение параметра </th>"
        "<th> Описание ошибки  или предупреждения </th><th> Статус ошибки </th>");
    const QString td = QStringLiteral("<td>"), etd = QStringLiteral("</td>");
    int k = 0;
    for (const StopListEntry &e : stopList) {
        ++k;
        rows << QStringLiteral("<tr><td>") + QString::number(k) + etd
                    + td + QString::number(e.fileRow) + etd
                    + td + QString::number(e.table) + etd
                    + td + QString::number(e.rowInTable) + etd
                    + td + pageText(e.name) + etd
                    + td + pageText(e.parameter) + etd
                    + td + fixedText(e.value, 2) + QStringLiteral("</td><td>") + pageText(e.message) + etd
                    + td + pageText(e.kind) + etd;
    }
    return rows;
}

ReportPage errorReportPage(const QVector<StopListEntry> &stopList, int fileMonth, int calcYear)
{
    ReportPage page;
    page.tables = 1;
    page.title = errorReportTitle;
    page.period = com::periodText(fileMonth, calcYear);
    page.rows1 = errorReportRows(stopList);
    return page;
}

QString stopListSubject(const QString &objectName, int fileMonth, int calcYear)
{
    return objectName + QStringLiteral("     ") + workbookPeriod(fileMonth, calcYear);
}

BookResult otchet_errxls(const QString &path, const QVector<StopListEntry> &stopList, const QString &subject,
                         const QStringList &signOff)
{
    std::unique_ptr<QXlsx::Document> book;
    if (QFileInfo::exists(path)) {
        book.reset(new QXlsx::Document(path));
        if (!book->isLoadPackage())
            book.reset();
    }
    if (!book)
        book.reset(new QXlsx::Document());
    book->selectSheet(QStringLiteral("Лист1"));

    const QXlsx::Format keep;
    if (!subject.isEmpty())
        book->write(3, 1, subject, keep);
    int row = 4;
    int k = 0;
    for (const StopListEntry &e : stopList) {
        ++k;
        ++row;
        book->write(row, 1, k, keep);
        book->write(row, 2, e.fileRow, keep);
        book->write(row, 3, e.table, keep);
        book->write(row, 4, e.rowInTable, keep);
        book->write(row, 5, e.name, keep);
        book->write(row, 6, e.parameter, keep);
        book->write(row, 7, bookNumber(e.value), keep);
        book->write(row, 8, e.message, keep);
        book->write(row, 9, e.kind, keep);
    }
    // The workbook is its own template: every row below the new list that it holds is cleared, so
    // no entry of an earlier, longer list survives (at least the 101 rows below, as always).
    const int count = stopList.size();
    chistka(*book, 5 + count, std::max(105 + count, book->lastRow()), 1, 9);
    writeSignOff(*book, 5 + count, 1, signOff);
    return saveBook(*book, path);
}

QStringList spreadsheetCommandLine(const QString &command, const QString &workbook)
{
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty())
        return {};
    parts << workbook;
    return parts;
}

QString spreadsheetNotStartedMessage(const QString &command, const QString &path)
{
    return QStringLiteral("Не удалось открыть книгу \"%1\": программа \"%2\" не запускается, "
                          "и для файлов .xlsx нет программы по умолчанию.\n\n"
                          "Откройте книгу сами или укажите программу для таблиц в ключе reportKeli "
                          "файла keli.ini, например: reportKeli=libreoffice --calc")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), command);
}

QString spreadsheetFailedMessage(const QString &program, int exitCode, const QString &path)
{
    const QString how = exitCode < 0 ? QStringLiteral("аварийно завершилась")
                                     : QStringLiteral("завершилась с ошибкой (код %1)").arg(exitCode);
    return QStringLiteral("Книга \"%1\" не открылась: программа \"%2\" %3.\n\n"
                          "Откройте книгу сами или укажите программу для таблиц в ключе reportKeli "
                          "файла keli.ini, например: reportKeli=libreoffice --calc")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), program, how);
}

} // namespace keli
