#include "core/report2.h"

#include "core/com.h"
#include "core/helpers.h"
#include "core/reporttext.h"
#include "core/signoff.h"

#include <QDir>

namespace keli {

const QString report2Title = QStringLiteral("Баланс электроэнергии по приборам учета");
const QString report2Caption2 =
    QStringLiteral("Допустимые небалансы и потери, обусловленные погрешностями учета ");
const QString report2Caption3 =
    QStringLiteral("Недоучет электроэнергии в сетях различных напряжений, тыс.кВт.ч");

namespace {

double r3(double x)
{
    return keli::round(finiteOr0(x), 3);
}

// A figure of the permissible table with its two percentages.
struct Triple
{
    double kwh, pctIntake, pctNet;
};

// The four numbers of a range, one per line of a cell.
struct RangeFigures
{
    Triple upper, lower, mid, range;
};

// Each figure rounded once, to the n decimals shown: the workbook writes the same values.
QString rangeCell(double upper, double lower, double mid, double range, int n)
{
    return QStringLiteral("<td>") + roundedText(upper, n, n) + QStringLiteral("<br>") + roundedText(lower, n, n)
        + QStringLiteral("<br>") + roundedText(mid, n, n) + QStringLiteral("<br>") + roundedText(range, n, n)
        + QStringLiteral("</td>");
}

QStringList rangeRow(const QString &label, const RangeFigures &f)
{
    return {label,
            QStringLiteral("<td>Макс. значение <br>Мин. значение<br>Среднее значение<br>Размах </td>"),
            rangeCell(f.upper.kwh, f.lower.kwh, f.mid.kwh, f.range.kwh, 3),
            rangeCell(f.upper.pctIntake, f.lower.pctIntake, f.mid.pctIntake, f.range.pctIntake, 2),
            rangeCell(f.upper.pctNet, f.lower.pctNet, f.mid.pctNet, f.range.pctNet, 2)};
}

// A figure with its two percentages, by the result's name.
#define KELI_FIGURE(name) Triple{r.name, r.name##PctIntake, r.name##PctNet}

RangeFigures actualFigures(const CalcResults &r)
{
    return {KELI_FIGURE(actualUpper), KELI_FIGURE(actualLower), KELI_FIGURE(actualSystematic),
            KELI_FIGURE(actualRandom)};
}

RangeFigures normativeFigures(const CalcResults &r)
{
    return {KELI_FIGURE(normativeUpper), KELI_FIGURE(normativeLower), KELI_FIGURE(normativeSystematic),
            KELI_FIGURE(normativeRandom)};
}

RangeFigures excessFigures(const CalcResults &r)
{
    return {KELI_FIGURE(excessUpper), KELI_FIGURE(excessLower), KELI_FIGURE(excessSystematic),
            KELI_FIGURE(excessRandom)};
}

RangeFigures actualWithLossesFigures(const CalcResults &r)
{
    return {KELI_FIGURE(actualWithLossesUpper), KELI_FIGURE(actualWithLossesLower),
            KELI_FIGURE(actualWithLossesMid), KELI_FIGURE(actualWithLossesRandom)};
}

RangeFigures normativeWithLossesFigures(const CalcResults &r)
{
    return {KELI_FIGURE(normativeWithLossesUpper), KELI_FIGURE(normativeWithLossesLower),
            KELI_FIGURE(normativeWithLossesMid), KELI_FIGURE(normativeWithLossesRandom)};
}

#undef KELI_FIGURE

// The six cells of one voltage-table row: levels 0.4, 6-20, 35-60, 110, 220 kV and the total.
struct LevelRow
{
    double value[6];
    bool blank220 = false; // the 220 kV cell is a fixed blank
};

// Release-side and intake-side level sums of position k (0..5).
double releaseLevel(const CalcResults &r, int k)
{
    return r.levelUndermetering[ReleaseLevel04 + k];
}

double intakeLevel(const CalcResults &r, int k)
{
    return r.levelUndermetering[IntakeLevel04 + k];
}

// The six rows of the voltage table after the two plain sums, as numbers before formatting:
// difference, distributed, distributed maximum, release by level, order No. 326 by level.
QVector<LevelRow> derivedLevelRows(const CalcResults &r)
{
    LevelRow difference, distributed, distributedMax, release, order;
    for (int k = 0; k < 6; ++k) {
        difference.value[k] = releaseLevel(r, k) - intakeLevel(r, k);
        distributed.value[k] = releaseLevel(r, k) * r.undermeteringDifferenceShare;
        distributedMax.value[k] = releaseLevel(r, k) * r.actualUpperPerReleaseUndermetering;
    }
    // The release fields run from the highest voltage (Otp1) to the lowest (Otp4): reversed here.
    for (int k = 0; k < 4; ++k) {
        release.value[k] = r.networkRelease[3 - k];
        order.value[k] = r.combinedRandomWithLosses * r.orderReleaseShares[3 - k];
    }
    release.value[4] = order.value[4] = 0;
    release.value[5] = r.orderReleaseTotal;
    order.value[5] = r.combinedRandomWithLosses;
    release.blank220 = order.blank220 = true;
    return {difference, distributed, distributedMax, release, order};
}

} // namespace

ReportPage report2Page(const Dataset &ds, const CalcResults &r)
{
    ReportPage page;
    page.tables = 3;
    page.title = report2Title;
    page.caption2 = report2Caption2;
    page.caption3 = report2Caption3;
    page.period = com::periodText(ds.calcMonth, ds.calcYear);

    // Balance.
    const QString kwh = QStringLiteral("<td> тыс.кВт.ч </td>");
    const QString pct = QStringLiteral("<td> % </td>");
    const struct { const char *number; const char *name; QString value; bool percent; } balance[] = {
        {" 1. ", " Поступление электроэнергии ", roundedText(r.intakeEnergy, 3, 3), false},
        {" 2. ", " Отпуск внешним потребителям ", roundedText(r.externalReleaseEnergy, 3, 3), false},
        {" 3. ", " Отпуск в сеть для собственных потребителей (п.1-п.2) ",
         roundedText(r3(r.intakeEnergy) - r.externalReleaseEnergy, 3, 3), false},
        {" 4. ", " Полезный отпуск собст.потребителям (3 гр. -п.5-п.6) ",
         roundedText(r3(r.ownReleaseEnergy) - r.ownNeedsEnergy - r.householdNeedsEnergy, 3, 3), false},
        {" 5. ", " Расход на собственные нужды подстанций ", roundedText(r.ownNeedsEnergy, 3, 3), false},
        {" 6. ", " Расход на производственно-хозяйственные нужды ",
         roundedText(r.householdNeedsEnergy, 3, 3), false},
        {" 7. ", " Фактические (отчетные) потери (п.3-п.4-п.6) ", roundedText(r.actualLoss, 3, 3), false},
        {" 7.1 ", " % поступления энергии ", roundedText(r.actualLossPctIntake, 2, 2), true},
        {" 7.2 ", " % отпуска в сеть", roundedText(r.actualLossPctNet, 2, 2), true},
        {" 8. ", " Технические потери электроэнергии  ", fixedText(r.techLosses, 3), false},
        {" 9. ", " Фактический небаланс электроэнергии (п.7-п.8)  ", roundedText(r.commercialLoss, 3, 3),
         false},
        {" 9.1 ", " % поступления энергии ", roundedText(r.commercialLossPctIntake, 2, 2), true},
        {" 9.2 ", " % отпуска в сеть", roundedText(r.commercialLossPctNet, 2, 2), true},
    };
    page.rows1 << QStringLiteral("<th> № <br> п/п </th><th>Наименование параметра</th><th> Значение </th>"
                                 "<th> Единица измерения </th>");
    for (const auto &b : balance)
        page.rows1 << QStringLiteral("<tr><td>") + QString::fromUtf8(b.number) + QStringLiteral("</td>")
                   << pageCell(QString::fromUtf8(b.name)) << pageCell(b.value) << (b.percent ? pct : kwh);

    // Permissible imbalances and losses.
    page.rows2 << QStringLiteral("<tr><th rowspan=\"2\">  № <br> п/п  </th><th rowspan=\"2\">Показатель</th>"
                                 "<th rowspan=\"2\">Характеристика <br>диапазона</th>"
                                 "<th colspan=\"3\">Значение параметра</th>")
               << QStringLiteral("<tr><th> тыс.кВт.ч </th><th> % поступления</th><th> % отп. сеть</th>");
    page.rows2 << rangeRow(QStringLiteral("<tr><td> 1. </td><td> Потери, обусловленные фактическими <br> "
                                          "погрешностями учета (разность недоучетов<br>на отпуске и "
                                          "поступлении)</td>"),
                           actualFigures(r))
               << rangeRow(QStringLiteral("<tr><td> 2. </td><td> То же, обусловленные нормативными <br> "
                                          "погрешностями учета</td>"),
                           normativeFigures(r))
               << rangeRow(QStringLiteral("<tr><td> 3. </td><td> Резерв снижения потерь, обусловленных <br> "
                                          "погрешностями учета  (п.1-п.2)</td>"),
                           excessFigures(r))
               << rangeRow(QStringLiteral("<tr><td> 4. </td><td> Небаланс, обусловленный фактическими <br> "
                                          "погрешностями учета</td>"),
                           actualWithLossesFigures(r))
               << rangeRow(QStringLiteral("<tr><td> 5. </td><td> Нормативный небаланс</td>"),
                           normativeWithLossesFigures(r));
    page.rows2 << QStringLiteral("<tr><td> 6. </td><td> Потери по приказу № 326 и по РД 34.09.101-94</td>"
                                 "<td> Размах </td><td>")
            + roundedText(r.combinedRandomWithLosses, 3, 3) + QStringLiteral("</td><td>")
            + roundedText(r.combinedRandomWithLossesPctIntake, 3, 3) + QStringLiteral("</td><td>")
            + roundedText(r.combinedRandomWithLossesPctNet, 3, 3) + QStringLiteral("</td></tr>");

    // Undermetering by voltage level.
    page.rows3 << QStringLiteral("<tr><th> Напряжение </th><th> 0,4 кВ</th><th> 6-20 кВ</th><th> 35-60 кВ </th>"
                                 "<th> 110 кВ </th><th> 220 кВ </th><th> Сумма </th></tr>");
    QString released, intake;
    for (int k = 0; k < 6; ++k) {
        released += pageCell(roundedText(releaseLevel(r, k), 3, 3));
        intake += pageCell(fixedText(intakeLevel(r, k), 3));
    }
    page.rows3 << QStringLiteral("<tr><td> Недоучет на отп. </td>") << released + QStringLiteral("</tr>")
               << QStringLiteral("<tr><td> Недоуч. на  пост. </td>") << intake + QStringLiteral("</tr>");
    const QString labels[5] = {QStringLiteral("<tr><td> Потери (разность) </td>"),
                               QStringLiteral("<tr><td> Разнесенные потери </td>"),
                               QStringLiteral("<tr><td> Разнесен. макс. потери </td>"),
                               QStringLiteral("<tr><td> Отпуск, млн.кВт.ч</td>"),
                               QStringLiteral("<tr><td> По пр. № 326 </td>")};
    const QVector<LevelRow> derived = derivedLevelRows(r);
    for (int i = 0; i < derived.size(); ++i) {
        QString line;
        for (int k = 0; k < 6; ++k)
            line += (k == 4 && derived[i].blank220) ? QStringLiteral("<td> </td>")
                                                    : pageCell(roundedText(derived[i].value[k], 3, 3));
        page.rows3 << labels[i] << line + QStringLiteral("</tr>");
    }
    return page;
}

BookResult otchet2xls(const QString &dir, const Dataset &ds, const CalcResults &r,
                      const QString &dateText, const ReportTemplates *templates)
{
    const std::unique_ptr<QXlsx::Document> opened = openReportTemplate(dir, report2TemplateName, templates);
    if (!opened)
        return templateMissing(dir, report2BookName, QStringLiteral("Ошибка копирования отчета2"));
    QXlsx::Document &book = *opened;
    const QXlsx::Format keep; // this report writes with the template's styles only
    book.write(1, 1, ds.objectName, keep);
    book.write(1, 2, reportOrganisation(ds), keep);
    book.write(2, 3, dateText, keep);
    book.write(1, 3, workbookPeriod(ds.calcMonth, ds.calcYear), keep);

    // Every figure is a number rounded once to the decimals its page shows; the template's number
    // format shows those decimals.
    auto number = [&](int row, int col, double value, int decimals) {
        book.write(row, col, bookNumber(keli::round(finiteOr0(value), decimals)), keep);
    };
    auto energy = [&](int row, int col, double value) { number(row, col, value, 3); };
    auto percent = [&](int row, int col, double value) { number(row, col, value, 2); };

    // Balance, column 4.
    const double a = r3(r.intakeEnergy), b = r3(r.externalReleaseEnergy), c = r3(r.ownReleaseEnergy);
    energy(4, 4, a);
    energy(5, 4, b);
    energy(6, 4, a - b);
    energy(7, 4, c - r.ownNeedsEnergy - r.householdNeedsEnergy);
    energy(8, 4, r.ownNeedsEnergy);
    energy(9, 4, r.householdNeedsEnergy);
    energy(10, 4, r.actualLoss);
    percent(11, 4, r.actualLossPctIntake);
    percent(12, 4, r.actualLossPctNet);
    book.write(13, 4, bookNumber(r.techLosses), keep); // as entered, 3 decimals
    energy(14, 4, r.commercialLoss);
    percent(15, 4, r.commercialLossPctIntake);
    percent(16, 4, r.commercialLossPctNet);

    // Permissible imbalances and losses: four rows per figure, columns 5, 6, 7.
    const RangeFigures blocks[5] = {actualFigures(r), normativeFigures(r), excessFigures(r),
                                    actualWithLossesFigures(r), normativeWithLossesFigures(r)};
    for (int block = 0; block < 5; ++block) {
        const Triple values[4] = {blocks[block].upper, blocks[block].lower, blocks[block].mid,
                                  blocks[block].range};
        for (int k = 0; k < 4; ++k) {
            const int row = 20 + 4 * block + k;
            energy(row, 5, values[k].kwh);
            percent(row, 6, values[k].pctIntake);
            percent(row, 7, values[k].pctNet);
        }
    }
    // Line 6: its page shows the two percentages with 3 decimals too.
    energy(40, 5, r.combinedRandomWithLosses);
    energy(40, 6, r.combinedRandomWithLossesPctIntake);
    energy(40, 7, r.combinedRandomWithLossesPctNet);

    // Undermetering by voltage level, columns 2..7.
    for (int k = 0; k < 6; ++k) {
        energy(44, 2 + k, releaseLevel(r, k));
        energy(45, 2 + k, intakeLevel(r, k));
    }
    const QVector<LevelRow> derived = derivedLevelRows(r);
    for (int i = 0; i < derived.size(); ++i)
        for (int k = 0; k < 6; ++k)
            if (!(k == 4 && derived[i].blank220))
                energy(46 + i, 2 + k, derived[i].value[k]);

    chistka(book, 51, 151, 1, 6);
    writeSignOff(book, 51, 1, signOffLines(ds, dateText));
    return saveBook(book, QDir(dir).filePath(report2BookName));
}

} // namespace keli
