#include "summary.h"

#include "core/calcmath.h"
#include "core/com.h"
#include "core/helpers.h"
#include "core/reportbook.h"
#include "core/signoff.h"

#include "io/checkedwrite.h"
#include "xlsx/xlsxdocument.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

using namespace keli;

const QString summaryBookName = QStringLiteral("Сводка.xlsx");
const QString summaryCsvName = QStringLiteral("Сводка.csv");
const QString summaryTemplateName = QStringLiteral("svodkaEmpty.xlsx");
const QString interruptedText = QStringLiteral("прерван");

namespace {

// Sheet layout of the template: texts of row 2 and 3, data from row 6, columns 1..17 with these
// widths (in characters of the default font) and alignments; texts wrap in their columns.
const int firstDataRow = 6;
const int columnCount = 17;
const struct
{
    int width;
    QXlsx::Format::HorizontalAlignment align;
} columns[columnCount] = {
    {3, QXlsx::Format::AlignHCenter}, {15, QXlsx::Format::AlignLeft}, {12, QXlsx::Format::AlignLeft},
    {8, QXlsx::Format::AlignHCenter}, {16, QXlsx::Format::AlignLeft}, {5, QXlsx::Format::AlignHCenter},
    {5, QXlsx::Format::AlignHCenter}, {9, QXlsx::Format::AlignRight}, {9, QXlsx::Format::AlignRight},
    {8, QXlsx::Format::AlignRight}, {5, QXlsx::Format::AlignRight}, {8, QXlsx::Format::AlignRight},
    {8, QXlsx::Format::AlignRight}, {5, QXlsx::Format::AlignHCenter}, {7, QXlsx::Format::AlignRight},
    {10, QXlsx::Format::AlignLeft}, {7, QXlsx::Format::AlignRight}};
const double lineHeight = 12.75; // points, one line of 10 pt text

// Lines a text takes when wrapped at word boundaries in a column of the given width (spreadsheet
// programs do not size the rows of a file they open, so the writer does).
int wrappedLines(const QString &text, int width)
{
    const int perLine = width * 6 / 5; // about what 10 pt text fits
    int lines = 0;
    for (const QString &paragraph : QString(text).replace(QLatin1Char('/'), QLatin1String("/ ")).split(QLatin1Char('\n'))) {
        int used = 0;
        ++lines;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int need = used ? used + 1 + word.size() : word.size();
            if (need <= perLine) {
                used = need;
            } else {
                lines += used ? 1 : 0;
                lines += (word.size() - 1) / perLine; // a word longer than the column breaks
                used = (word.size() - 1) % perLine + 1;
            }
        }
    }
    return lines;
}

const QStringList csvHeadings = {
    QStringLiteral("№ п/п"), QStringLiteral("Исходный файл"), QStringLiteral("Объект"),
    QStringLiteral("Период"), QStringLiteral("Результат расчета"), QStringLiteral("Ошибок"),
    QStringLiteral("Предупреждений"), QStringLiteral("Поступление, тыс.кВт.ч"),
    QStringLiteral("Отпуск в сеть, тыс.кВт.ч"), QStringLiteral("Фактический небаланс, тыс.кВт.ч"),
    QStringLiteral("Фактический небаланс, % поступления"),
    QStringLiteral("Допустимый небаланс от, тыс.кВт.ч"), QStringLiteral("Допустимый небаланс до, тыс.кВт.ч"),
    QStringLiteral("В допустимых пределах"), QStringLiteral("Потери по приказу № 326, тыс.кВт.ч"),
    QStringLiteral("Наибольший недоучет: точка учета"), QStringLiteral("Наибольший недоучет, тыс.кВт.ч")};

// After the period of an object calculated for another period than most of the batch.
const QString periodDiffersMark = QStringLiteral(" (иной период)");

// A figure rounded once, as the pages print it, and then the double nearest to those decimals
// (11.774, not the 11.774000000000001 that the rounding's own arithmetic gives).
double shown(double v, int decimals)
{
    return QString::number(keli::round(finiteOr0(v), decimals), 'f', decimals).toDouble();
}

QString insideText(const SummaryRow &row)
{
    return row.inside ? QStringLiteral("да") : QStringLiteral("нет");
}

// The cells of one row in column order; numbers as doubles, absent figures as empty texts.
QVector<QVariant> cells(int number, const SummaryRow &row)
{
    const QString period = row.periodDiffers ? row.period + periodDiffersMark : row.period;
    QVector<QVariant> c = {number, row.source, row.objectName, period, row.result};
    if (row.loaded)
        c << row.errors << row.warnings;
    else
        c << QString() << QString();
    if (row.calculated) {
        c << row.intakeEnergy << row.netSupply << row.imbalance << row.imbalancePctIntake
          << row.permissibleLower << row.permissibleUpper << insideText(row) << row.orderLosses
          << row.largestPoint << row.largestUndermetering;
    } else {
        while (c.size() < columnCount)
            c << QString();
    }
    for (QVariant &v : c)
        if (v.userType() == QMetaType::Double)
            v = finiteOr0(v.toDouble());
    return c;
}

// Numbers as a Russian spreadsheet program reads them beside ";": a decimal comma, no exponent, and
// the shortest digits that give back the same double (4860,746 for a figure rounded to 3 decimals).
QString csvField(const QVariant &v)
{
    if (v.userType() == QMetaType::Double)
        return QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest).replace(QLatin1Char('.'), QLatin1Char(','));
    QString s = v.toString();
    // A text a spreadsheet program would take as a formula stays a text.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!s.isEmpty() && formulaStarts.contains(s.front()))
        s.prepend(QLatin1Char('\''));
    if (s.contains(QLatin1Char(';')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r'))) {
        s.replace(QLatin1Char('"'), QLatin1String("\"\""));
        s = QLatin1Char('"') + s + QLatin1Char('"');
    }
    return s;
}

bool saveText(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (writeFileChecked(path, bytes, &reason))
        return true;
    *error = saveFailedMessage(path, reason);
    return false;
}

} // namespace

SummaryRow summaryRow(const QString &source, const Dataset &ds, const CalcOutcome &o,
                      const QStringList &fileFailures)
{
    SummaryRow row;
    row.source = source;
    row.objectName = ds.objectName.trimmed();
    row.period = com::periodText(ds.calcMonth, ds.calcYear);
    row.loaded = true;
    row.errors = o.errorCount;
    row.warnings = o.warningCount;
    const CalcResults &r = o.results;
    switch (o.outcome) {
    case Outcome::Calculated:
        row.calculated = true;
        row.result = QStringLiteral("рассчитан");
        break;
    case Outcome::Blocked: {
        row.result = QStringLiteral("расчет невозможен: критические ошибки в исходных данных");
        for (const StopListEntry &e : o.stopList) {
            if (e.kind == QStringLiteral("Ошибка")) { // the first one says why
                row.result += QStringLiteral(" (строка %1, %2: %3)").arg(e.fileRow).arg(e.name.trimmed(),
                                                                          e.message.trimmed());
                break;
            }
        }
        break;
    }
    case Outcome::FillFactorZero:
    case Outcome::AllEnergiesZero:
        row.result = QStringLiteral("расчет невозможен: ") + o.message;
        break;
    }
    if (!fileFailures.isEmpty())
        row.result += QStringLiteral("; не записано: ") + fileFailures.join(QLatin1Char(' '));
    if (row.calculated) {
        const auto energy = [](double v) { return shown(v, 3); };
        row.intakeEnergy = energy(r.intakeEnergy);
        row.netSupply = energy(r.netSupply);
        row.imbalance = energy(r.commercialLoss);
        row.imbalancePctIntake = shown(r.commercialLossPctIntake, 2);
        row.permissibleLower = energy(r.normativeWithLossesLower);
        row.permissibleUpper = energy(r.normativeWithLossesUpper);
        // Judged on the figures shown, so that the row agrees with itself.
        row.inside = row.permissibleLower <= row.imbalance && row.imbalance <= row.permissibleUpper;
        row.orderLosses = energy(r.combinedRandomWithLosses);
        const bool intake = r.maxIntakeUndermetering >= r.maxReleaseUndermetering;
        row.largestPoint = intake ? r.maxIntakePointName : r.maxReleasePointName;
        row.largestUndermetering = energy(intake ? r.maxIntakeUndermetering : r.maxReleaseUndermetering);
    }
    return row;
}

SummaryRow unreadableRow(const QString &source, const QString &why)
{
    SummaryRow row;
    row.source = source;
    row.result = QStringLiteral("не прочитан: ") + why;
    return row;
}

void markUncommonPeriods(QVector<SummaryRow> &rows)
{
    QStringList periods; // in order of first appearance, so that a tie goes to the first
    QHash<QString, int> counts;
    for (const SummaryRow &row : rows) {
        if (row.period.isEmpty())
            continue;
        if (!counts.contains(row.period))
            periods << row.period;
        ++counts[row.period];
    }
    QString common;
    for (const QString &period : periods)
        if (common.isEmpty() || counts[period] > counts[common])
            common = period;
    for (SummaryRow &row : rows)
        row.periodDiffers = !row.period.isEmpty() && row.period != common;
}

SummaryRow interruptedRow(const QString &source)
{
    SummaryRow row;
    row.source = source;
    row.result = interruptedText;
    return row;
}

QStringList summaryHeadings()
{
    return csvHeadings;
}

QVector<QVariant> summaryCells(int number, const SummaryRow &row)
{
    return cells(number, row);
}

bool writeSummaryBook(const QString &path, QXlsx::Document *filled, const QVector<SummaryRow> &rows,
                      const QString &dateText, QString *error, const QString &organisation,
                      const QStringList &signOff)
{
    if (!filled) {
        *error = QStringLiteral("%1 не записан: шаблона %2 нет или он не читается")
                     .arg(summaryBookName, summaryTemplateName);
        return false;
    }
    QXlsx::Document &book = *filled;
    QStringList periods;
    for (const SummaryRow &row : rows)
        if (!row.period.isEmpty() && !periods.contains(row.period))
            periods << row.period;
    const QXlsx::Format keep;
    book.write(2, 1, organisation.isEmpty() ? com::organisationName : organisation, keep);
    book.write(3, 1, QStringLiteral("Период: %1.   Объектов: %2.   Дата расчета: %3")
                         .arg(periods.join(QStringLiteral(", ")))
                         .arg(rows.size())
                         .arg(dateText),
               keep);
    // Borders drawn per cell; font, wrapping and number formats come from the template's columns.
    QXlsx::Format boxed[columnCount];
    for (int col = 0; col < columnCount; ++col) {
        boxed[col].setBorderStyle(QXlsx::Format::BorderThin);
        boxed[col].setHorizontalAlignment(columns[col].align);
    }
    for (int k = 0; k < rows.size(); ++k) {
        const QVector<QVariant> c = cells(k + 1, rows[k]);
        int lines = 1;
        for (int col = 0; col < c.size(); ++col) {
            book.write(firstDataRow + k, col + 1, c[col], boxed[col]);
            if (c[col].userType() == QMetaType::QString)
                lines = qMax(lines, wrappedLines(c[col].toString(), columns[col].width));
        }
        book.setRowHeight(firstDataRow + k, lines * lineHeight + 2);
    }
    keli::writeSignOff(book, firstDataRow + rows.size(), 1, signOff);
    if (!book.saveAs(path)) {
        *error = saveFailedMessage(path, book.errorString());
        return false;
    }
    return true;
}

bool writeSummaryCsv(const QString &path, const QVector<SummaryRow> &rows, QString *error)
{
    QStringList lines;
    lines << csvHeadings.join(QLatin1Char(';'));
    for (int k = 0; k < rows.size(); ++k) {
        QStringList fields;
        for (const QVariant &v : cells(k + 1, rows[k]))
            fields << csvField(v);
        lines << fields.join(QLatin1Char(';'));
    }
    // With a byte order mark, so that spreadsheet programs take it as UTF-8.
    return saveText(path, "\xEF\xBB\xBF" + (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8(),
                    error);
}
