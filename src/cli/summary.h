#pragma once
// The summary of a batch: one row per object, as the workbook "Сводка.xlsx" (from its template)
// and as "Сводка.csv".

#include "core/calculation.h"
#include "core/dataset.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct SummaryRow
{
    QString source;          // as given
    QString objectName;
    QString period;          // of the calculation, e.g. "октябрь 2024 года"
    bool periodDiffers = false; // not the period most objects of the batch have (marked)
    QString result;          // "рассчитан", or why not
    bool loaded = false;     // errors and warnings are known
    bool calculated = false; // the figures below are known
    int errors = 0, warnings = 0;
    // thousand kWh (3 decimals) unless a percentage (2 decimals): the figures of the object's
    // --json document rounded once, as the pages show them
    double intakeEnergy = 0;
    double netSupply = 0;
    double imbalance = 0;          // actual imbalance (commercialLoss)
    double imbalancePctIntake = 0; // % of intake
    double permissibleLower = 0;   // permissible imbalance range (normativeWithLosses...)
    double permissibleUpper = 0;
    bool inside = false;           // permissibleLower <= imbalance <= permissibleUpper
    double orderLosses = 0;        // losses by order No. 326 (combinedRandomWithLosses)
    QString largestPoint;          // the metering point of the largest undermetering
    double largestUndermetering = 0;
};

// The row of an object whose workbook was read; fileFailures names report files not written.
SummaryRow summaryRow(const QString &source, const keli::Dataset &ds, const keli::CalcOutcome &o,
                      const QStringList &fileFailures);
// The row of an object that could not be calculated before the calculation (why: a sentence).
SummaryRow unreadableRow(const QString &source, const QString &why);
// The row of an object a signal kept from being calculated: its result is interruptedText.
SummaryRow interruptedRow(const QString &source);
extern const QString interruptedText; // "прерван"

// Marks the rows whose period is not the one most rows have (the first of those most frequent).
void markUncommonPeriods(QVector<SummaryRow> &rows);

extern const QString summaryBookName;     // "Сводка.xlsx"
extern const QString summaryCsvName;      // "Сводка.csv"
extern const QString summaryTemplateName; // "svodkaEmpty.xlsx"

namespace QXlsx {
class Document;
}

// Fills the summary template (null when it is missing) and saves it at path. False with a
// sentence on failure.
// organisation replaces the template's; signOff lines go below the rows after a blank row.
bool writeSummaryBook(const QString &path, QXlsx::Document *book, const QVector<SummaryRow> &rows,
                      const QString &dateText, QString *error, const QString &organisation = QString(),
                      const QStringList &signOff = QStringList());
// The column headings, and the cells of one row in column order (numbers as doubles, absent
// figures as empty texts), as the workbook and the CSV have them.
QStringList summaryHeadings();
QVector<QVariant> summaryCells(int number, const SummaryRow &row);

// Writes the same rows as CSV (UTF-8, ";" between fields, numbers with a decimal comma).
bool writeSummaryCsv(const QString &path, const QVector<SummaryRow> &rows, QString *error);
