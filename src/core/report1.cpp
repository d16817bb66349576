#include "core/report1.h"

#include "core/com.h"
#include "core/helpers.h"
#include "core/reportrows.h"
#include "core/reporttext.h"
#include "core/signoff.h"

#include <QDir>

namespace keli {

const QString report1Title = QStringLiteral("Параметры системы учета электроэнергии");
const QString report1Caption2 =
    QStringLiteral("Обобщенные параметры системы учета электроэнергии по группам исходных данных");

namespace {

const QString titleOf[3] = {
    QStringLiteral("<td colspan=\"21\" > Поступление электроэнергии </td>"),
    QStringLiteral("<td colspan=\"21\" > Отпуск электроэнергии внешним потребителям</td>"),
    QStringLiteral("<td colspan=\"21\" > Отпуск электроэнергии собственным потребителям </td>"),
};

// The three share figures of the group table, by table.
double shareOf(const CalcResults &r, int t)
{
    return t == 0 ? r.intakePresent : t == 1 ? r.externalShare : r.ownShare;
}

double undermeteringOf(const CalcResults &r, int t)
{
    return t == 0 ? r.intakeUndermetering : t == 1 ? r.externalUndermetering : r.ownUndermetering;
}

} // namespace

void html_otchet1html(int table, QStringList &rows, int count, int &index, int /*unused*/,
                      const Dataset &ds, const CalcResults &r)
{
    rows << QStringLiteral("<tr><td> </td>") << titleOf[table == 1 ? 0 : table == 2 ? 1 : 2];
    for (int i = 1; i <= count; ++i) {
        const int p = index;
        rows << QStringLiteral("<tr><td>") + QString::number(i) + QStringLiteral("</td>")
             << pageCell(pageText(columnAt(ds.name, p)))
             << pageCell(pageText(columnAt(ds.pointKind, p)))
             << pageCell(fixedText(columnAt(ds.meterCount, p), 1))
             << pageCell(pageText(columnAt(ds.meterType, p)))
             << pageCell(roundedText(columnAt(ds.ctClass, p), 1, 1))
             << pageCell(roundedText(columnAt(ds.vtClass, p), 1, 1))
             << pageCell(roundedText(columnAt(ds.meterClass, p), 1, 1))
             << pageCell(roundedText(columnAt(ds.verificationDate, p), 2, 2))
             << pageCell(roundedText(columnAt(ds.ctRatedCurrent, p), 2, 1))
             << pageCell(roundedText(columnAt(ds.ctVoltage, p), 2, 2))
             << pageCell(roundedText(columnAt(ds.reportVoltage, p), 1, 1))
             << pageCell(roundedText(columnAt(r.rowMaxLoadShown, p), 2, 2))
             << pageCell(roundedText(columnAt(r.rowVtCircuitLoss, p), 2, 2))
             << pageCell(roundedText(columnAt(r.rowEnergy, p), 3, 3))
             << pageCell(roundedText(columnAt(ds.fillFactor, p), 2, 2))
             << pageCell(roundedText(columnAt(ds.tanPhi, p), 2, 2))
             << pageCell(roundedText(columnAt(ds.offDays, p), 1, 1))
             << pageCell(roundedText(columnAt(r.rowUndermetering, p), 1, 1))
             << pageCell(roundedText(columnAt(r.rowRandomError, p), 1, 1))
             << QStringLiteral("<td> 1 </td>");
        ++index;
    }
}

ReportPage report1Page(const Dataset &ds, const CalcResults &r)
{
    ReportPage page;
    page.tables = 2;
    page.title = report1Title;
    page.caption2 = report1Caption2;
    page.period = com::periodText(ds.calcMonth, ds.calcYear);

    QStringList &rows1 = page.rows1;
    rows1 << QStringLiteral(
                 "<th rowspan=\"2\">№<br>пп</th><th width= \"118\" rowspan=\"2\">Наименование ТУ</th>"
                 "<th rowspan=\"2\">Вид<br>учета</th><th rowspan=\"2\">Число<br>точек<br>учета</th>"
                 "<th rowspan=\"2\">Тип<br>счет-<br>чика</th><th colspan=\"3\">Класс точности</th>"
                 "<th rowspan=\"2\">Дата<br>поверки,<br>мес.г</th><th rowspan=\"2\">I ном<br>ТТ,<br>А</th>"
                 "<th rowspan=\"2\">U ном,<br>кВ</th><th rowspan=\"2\">U отч,<br>кВ</th>"
                 "<th rowspan=\"2\">Коэф.<br>загр.<br>ТТ</th><th rowspan=\"2\">dU<br>вт.цепи<br>ТН,%</th>"
                 "<th width= \"90\" rowspan=\"2\">Пропуск<br>энергии<br>тыс.кВт.ч</th>"
                 "<th width= \"80\"rowspan=\"2\">Коэф.<br>заполн.<br>граф</th>"
                 "<th rowspan=\"2\">Тан-<br>генс<br>фи</th><th rowspan=\"2\">Число<br>откл.<br>дней</th>"
                 "<th colspan=\"2\">Вклад в погрешн.</th><th rowspan=\"2\">Код<br>дос-<br>тав-<br>ки</th>")
          << QStringLiteral("<tr><th>ТТ</th><th>ТН</th><th width= \"70\">Счетч.</th><th>средн.</th><th>+/-</th>");
    int index = 0;
    html_otchet1html(1, rows1, r.intakeCount, index, 0, ds, r);
    html_otchet1html(2, rows1, r.externalCount, index, 0, ds, r);
    html_otchet1html(3, rows1, r.ownCount, index, 0, ds, r);
    rows1 << QStringLiteral("<tr><td> </td>")
          << QStringLiteral("<td colspan=\"3\"> Расчетные технические потери </td>")
          << pageCell(fixedText(r.techLosses, 2)) << QStringLiteral("<td> тыс.кВт.ч</td>")
          << QStringLiteral("<tr><td> </td>")
          << QStringLiteral("<td colspan=\"3\"> Погрешность расчета техн. потерь </td>")
          << pageCell(fixedText(r.techLossErrorPct, 2)) << QStringLiteral("<td>%</td>");

    QStringList &rows2 = page.rows2;
    rows2 << QStringLiteral(
                 "<tr><th  width= \"90\" rowspan=\"2\">  Группа  </th><th  colspan=\"4\"> Класс точности </th>"
                 "<th rowspan=\"2\">Доля <br>энергии</th><th rowspan=\"2\">Загрузка<br>ТТ</th>"
                 "<th rowspan=\"2\">Потери U <br>во втор.</th><th rowspan=\"2\">Срок после<br> пов.,<br>лет</th>"
                 "<th rowspan=\"2\">Недоучет, <br>тыс.кВт.ч</th></tr>")
          << QStringLiteral("<tr><th> ТТ </th><th> ТН </th><th> СЧ </th><th> Экв. ИК </th></tr>");
    const QString labels[3] = {QStringLiteral("<tr><td> Первая </td>"),
                               QStringLiteral("<tr><td> Вторая </td>"),
                               QStringLiteral("<tr><td> Третья </td>")};
    for (int t = 0; t < 3; ++t) {
        const GroupCharacteristics &g = r.groupCharacteristics[t];
        rows2 << labels[t]
              << pageCell(fixedText(g.ctClass, 2)) + pageCell(fixedText(g.vtClass, 2))
                     + pageCell(fixedText(g.meterClass, 2)) + pageCell(fixedText(g.combinedClass, 2))
                     + pageCell(fixedText(shareOf(r, t), 2)) + pageCell(fixedText(g.ctLoad, 2))
                     + pageCell(fixedText(g.vtCircuitLoss, 2))
                     + pageCell(fixedText(g.yearsSinceVerification, 1))
                     + pageCell(fixedText(undermeteringOf(r, t), 3)) + QStringLiteral("</tr>");
    }
    const QString unitCells = QStringLiteral("<td  colspan=\"2\">тыс.кВт.ч</td></tr>");
    const QString byRow = QStringLiteral("<tr><td  colspan=\"7\">            вносит строка:  ");
    const QString restOfRow = QStringLiteral("<td colspan=\"3\"> </td></tr>");
    rows2 << QStringLiteral("<tr><th  colspan=\"10\"> </th></tr>")
          << QStringLiteral("<tr><th  colspan=\"10\">Проверьте правильность данных по строкам с наибольшим "
                            "вкладом в погрешность </th></tr>")
          << QStringLiteral("<tr><td  colspan=\"7\">Наибольший вклад в погрешность на поступление энергии </td>")
          << pageCell(fixedText(r.maxIntakeUndermetering, 3)) << unitCells
          << byRow + pageText(r.maxIntakePointName) + QStringLiteral("</td>") << restOfRow
          << QStringLiteral("<tr><td  colspan=\"7\">Наибольший вклад в погрешность на отпуск энергии </td>")
          << pageCell(fixedText(r.maxReleaseUndermetering, 3)) << unitCells
          << byRow + pageText(r.maxReleasePointName) + QStringLiteral("</td>") << restOfRow
          << QStringLiteral("<tr><td  colspan=\"7\">Расчетные потери в трансформаторах тока </td>")
          << pageCell(fixedText(r.ctLossEnergy, 3)) << unitCells;
    return page;
}

void xlsx_otchet1xls(QXlsx::Document &book, int count, int &index, int &row, int last,
                     const ReportFormats &formats, const Dataset &ds, const CalcResults &r)
{
    for (int i = 1; i <= count; ++i) {
        const int p = index;
        const bool closing = last == 1 && i == count;
        const QXlsx::Format &f = closing ? formats.bottomBorderFormat : formats.sideBorderFormat;
        const QXlsx::Format &fName = closing ? formats.bottomBorderFormat : formats.sideBorderLeftFormat;
        auto number = [&](int col, double value, int decimals) {
            book.write(row, col, bookNumber(keli::round(finiteOr0(value), decimals)), f);
        };
        book.write(row, 1, i, f);
        book.write(row, 2, columnAt(ds.name, p), fName);
        book.write(row, 3, columnAt(ds.pointKind, p), f);
        book.write(row, 4, bookNumber(columnAt(ds.meterCount, p)), f);
        book.write(row, 5, columnAt(ds.meterType, p), f);
        number(6, columnAt(ds.ctClass, p), 1);
        number(7, columnAt(ds.vtClass, p), 1);
        number(8, columnAt(ds.meterClass, p), 1);
        number(9, columnAt(ds.verificationDate, p), 2);
        number(10, columnAt(ds.ctRatedCurrent, p), 2);
        number(11, columnAt(ds.ctVoltage, p), 2);
        number(12, columnAt(r.rowReportVoltage, p), 1);
        number(13, columnAt(r.rowNormativeMaxLoad, p), 2);
        number(14, columnAt(r.rowVtCircuitLoss, p), 2);
        number(15, columnAt(r.rowEnergy, p), 3);
        number(16, columnAt(ds.fillFactor, p), 2); // Кз and tg φ with the page's 2 decimals
        number(17, columnAt(ds.tanPhi, p), 2);
        number(18, columnAt(ds.offDays, p), 1);
        number(19, columnAt(r.rowUndermetering, p), 1);
        number(20, columnAt(r.rowRandomError, p), 1);
        book.write(row, 21, 1, f);
        ++row;
        ++index;
    }
}

BookResult otchet1xls(const QString &dir, const Dataset &ds, const CalcResults &r,
                      const QString &dateText, const ReportTemplates *templates)
{
    const std::unique_ptr<QXlsx::Document> opened = openReportTemplate(dir, report1TemplateName, templates);
    if (!opened)
        return templateMissing(dir, report1BookName, QStringLiteral("Ошибка копирования отчета1"));
    QXlsx::Document &book = *opened;
    ReportFormats formats;
    fmts(formats);
    const QXlsx::Format keep;

    book.write(2, 2, ds.objectName, keep);
    book.write(2, 5, reportOrganisation(ds), keep);
    book.write(3, 3, com::monthName(ds.calcMonth), keep);
    book.write(3, 4, ds.calcYear, keep);
    book.write(2, 21, r.intakeCount, keep);
    book.write(3, 21, r.externalCount, keep);
    book.write(4, 21, r.ownCount, keep);
    book.write(3, 13, QStringLiteral("Дата расчета: ") + dateText, keep);

    int row = 9;
    int index = 0;
    xlsx_otchet1xls(book, r.intakeCount, index, row, 0, formats, ds, r);
    book.write(row, 1, QStringLiteral(" "), formats.sideBorderLeftFormat);
    book.write(row, 2, QStringLiteral("Отпуск электроэнергии внешним потребителям"),
               formats.sideBorderLeftFormat);
    ++row;
    xlsx_otchet1xls(book, r.externalCount, index, row, 0, formats, ds, r);
    book.write(row, 1, QStringLiteral(" "), formats.leftBorderFormat);
    book.write(row, 2, QStringLiteral("Отпуск электроэнергии собственным потребителям"),
               formats.sideBorderLeftFormat);
    ++row;
    xlsx_otchet1xls(book, r.ownCount, index, row, 1, formats, ds, r);

    row += 2;
    // Numbers with the decimals the page shows; the commercial losses, not on the page, with the 1
    // decimal they are entered with (the column's format).
    QXlsx::Format twoDecimals;
    twoDecimals.setNumberFormatIndex(2); // "0.00"
    const struct { QString name; double value; int decimals; QString unit; } lossLines[3] = {
        {QStringLiteral("Расчетные технические потери"), r.techLosses, 2, QStringLiteral("тыс.кВт.ч")},
        {QStringLiteral("Погрешность расчета техн. потерь"), r.techLossErrorPct, 2, QStringLiteral("%")},
        {QStringLiteral("Допустимые коммерческие потери"), r.permissibleCommercialLoss, 1,
         QStringLiteral("тыс.кВт.ч")},
    };
    for (const auto &line : lossLines) {
        book.write(row, 1, line.name, keep);
        book.write(row, 4, bookNumber(keli::round(finiteOr0(line.value), line.decimals)),
                   line.decimals == 2 ? twoDecimals : keep);
        book.write(row, 6, line.unit, keep);
        ++row;
    }
    chistka(book, row, row + 100, 1, 22);
    writeSignOff(book, row, 1, signOffLines(ds, dateText));

    book.selectSheet(QStringLiteral("Лист2"));
    book.write(2, 1, ds.objectName, keep); // the group sheet says whose groups it shows
    book.write(2, 6, workbookPeriod(ds.calcMonth, ds.calcYear), keep);
    const QString groupNames[3] = {QStringLiteral("Первая"), QStringLiteral("Вторая"),
                                   QStringLiteral("Третья")};
    for (int t = 0; t < 3; ++t) {
        const GroupCharacteristics &g = r.groupCharacteristics[t];
        const int sheetRow = 5 + t;
        auto number = [&](int col, double value, int decimals) {
            book.write(sheetRow, col, bookNumber(keli::round(finiteOr0(value), decimals)), keep);
        };
        book.write(sheetRow, 1, groupNames[t], keep);
        number(2, g.ctClass, 2); // each figure rounded once, to the page's decimals
        number(3, g.vtClass, 2);
        number(4, g.meterClass, 2);
        number(5, g.combinedClass, 2);
        number(6, shareOf(r, t), 2);
        number(7, g.ctLoad, 2);
        number(8, g.vtCircuitLoss, 2);
        number(9, g.yearsSinceVerification, 1);
        number(10, undermeteringOf(r, t), 3);
    }
    const auto energy = [&](int sheetRow, double value) {
        book.write(sheetRow, 7, bookNumber(keli::round(finiteOr0(value), 3)), keep);
    };
    energy(11, r.maxIntakeUndermetering);
    book.write(12, 7, r.maxIntakePointName, keep);
    energy(13, r.maxReleaseUndermetering);
    book.write(14, 7, r.maxReleasePointName, keep);
    energy(16, r.ctLossEnergy);
    chistka(book, 17, 117, 1, 10);

    book.selectSheet(QStringLiteral("Лист1"));
    return saveBook(book, QDir(dir).filePath(report1BookName));
}

} // namespace keli
