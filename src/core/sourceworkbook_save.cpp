// Saving a Dataset as a source workbook: row 1 the header values, then the metering points of
// the three tables one after another, table 1 first. Texts go into text cells, everything else
// into number cells, each keeping the style its cell had. An existing workbook is written in place:
// only columns A..T of its data sheet change; other sheets, styles, widths and cells right of T stay.

#include "core/sourceworkbook.h"

#include "core/helpers.h"
#include "core/openedbook.h"
#include "core/writefailure.h"
#include "xlsx/xlsxdocument.h"

#include <QFileInfo>
#include <QVariant>
#include <QVector>

#include <cmath>
#include <memory>

namespace keli {

namespace {

// The data sheet when a workbook has one of this name, else the sheet that was active when saved.
const QString dataSheetName = QStringLiteral("Лист1");

// "L5" for row 5, column 12.
QString cellName(int row, int column)
{
    return QString(QChar('A' + column - 1)) + QString::number(row);
}

// Puts the cells of the data layout into a workbook's data sheet or, by the same calls, checks
// that a workbook read back holds them as written; remembers the first cell that failed. Every
// cell is put once, so that the check compares each with the one value it must hold.
class SheetCells
{
public:
    enum Mode { Write, Check };
    SheetCells(QXlsx::Document &doc, Mode mode) : m_doc(doc), m_mode(mode) {}

    // An empty text is no value.
    void text(int row, int column, const QString &value)
    {
        if (m_mode == Write) {
            if (!m_doc.write(row, column, value))
                fail(row, column);
            return;
        }
        const QVariant read = m_doc.read(row, column);
        const bool same = value.isEmpty() ? !read.isValid()
                                          : read.userType() == QMetaType::QString && read.toString() == value;
        if (!same)
            fail(row, column);
    }

    // The same number, bit for bit; a number that is not finite is never written.
    void number(int row, int column, double value)
    {
        if (!std::isfinite(value)) {
            fail(row, column);
        } else if (m_mode == Write) {
            if (!m_doc.write(row, column, value))
                fail(row, column);
        } else {
            const QVariant read = m_doc.read(row, column);
            if (read.userType() != QMetaType::Double || read.toDouble() != value)
                fail(row, column);
        }
    }

    bool ok() const { return m_failedRow == 0; }
    QString failedCell() const { return cellName(m_failedRow, m_failedColumn); }

private:
    void fail(int row, int column)
    {
        if (ok()) {
            m_failedRow = row;
            m_failedColumn = column;
        }
    }

    QXlsx::Document &m_doc;
    Mode m_mode;
    int m_failedRow = 0;
    int m_failedColumn = 0;
};

// value rounded half away from zero to the given decimals, as fixed-point text with a point;
// never a signed zero ("0.000", not "-0.000").
QString fixedText(double value, int decimals)
{
    return QString::number(round(value, decimals) + 0.0, 'f', decimals);
}

// The sequences the saver reads all hold at least n rows (pointDays and spare are not written).
bool rowsComplete(const Dataset &ds, int n)
{
    for (int size : {ds.pointKind.size(), ds.meterType.size(), ds.ctClass.size(), ds.vtClass.size(),
                     ds.energy.size(), ds.tanPhi.size(), ds.fillFactor.size(), ds.vtVoltageLoss.size(),
                     ds.verificationDate.size(), ds.meterCount.size(), ds.meterClass.size(),
                     ds.ctVoltage.size(), ds.reportVoltage.size(), ds.ctRatedCurrent.size(),
                     ds.offDays.size(), ds.tableNo.size()}) {
        if (size < n)
            return false;
    }
    return true;
}

// True when the releases and factors go into the header row: the workbook held them, or they are
// not the neutral ones (no releases, factors 1).
bool storesParameters(const Dataset &ds)
{
    if (ds.parametersStored)
        return true;
    for (double release : ds.networkRelease)
        if (release != 0)
            return true;
    for (int t = 1; t <= 3; ++t)
        if (ds.correctionFactorValue(t) != 1)
            return true;
    return false;
}

// The workbook to write into, its data sheet selected as the loader selects it: the existing one at
// path; else a copy of the workbook the dataset was opened from (saving under a new name keeps its
// other sheets and layout); else a new one (an unreadable file at path has its copy in the backup).
// A workbook the dataset keeps as it was read is copied instead of read again, while its file is
// unchanged.
std::unique_ptr<QXlsx::Document> targetWorkbook(const QString &path, const QString &openedPath,
                                                const std::shared_ptr<const OpenedBook> &opened)
{
    for (const QString &base : {path, openedPath}) {
        if (base.isEmpty() || !QFileInfo(base).isFile())
            continue;
        // Sheets are read when selected: whether it loaded is known after the selection.
        const QXlsx::Document *read = unchangedBook(opened, base);
        auto existing = read ? std::make_unique<QXlsx::Document>(*read) : std::make_unique<QXlsx::Document>(base);
        existing->selectSheet(dataSheetName);
        if (existing->isLoadPackage())
            return existing;
    }
    auto created = std::make_unique<QXlsx::Document>();
    // A new workbook has no sheet "List1": the data go to its first sheet.
    created->selectSheet(QStringLiteral("List1"));
    return created;
}

// The last column of the data layout (T): cells right of it belong to the user.
constexpr int kLastDataColumn = 20;

void writeRow(SheetCells &w, int r, const Dataset &ds, int i, int periodDays)
{
    // A number cell that holds something else keeps its text, put instead of the number.
    const QMap<int, QString> notNumbers = ds.nonNumericText.value(i);
    const auto text = [&](int column, const QString &value) { w.text(r, column, notNumbers.value(column, value)); };
    const auto number = [&](int column, double value) {
        if (notNumbers.contains(column))
            w.text(r, column, notNumbers.value(column));
        else
            w.number(r, column, value);
    };
    text(1, ds.name[i]);
    number(2, ds.meterCount[i]);
    text(3, ds.meterType[i]);
    number(4, round(ds.ctClass[i], 1));
    number(5, round(ds.vtClass[i], 1));
    number(6, round(ds.meterClass[i], 1));
    number(7, ds.verificationDate[i]);
    number(8, round(ds.ctRatedCurrent[i], 1));
    number(9, ds.ctVoltage[i]);
    number(10, ds.reportVoltage[i]);
    number(11, ds.vtVoltageLoss[i]);
    // The energy as entered (never corrected), as text with exactly 3 decimals.
    text(12, fixedText(ds.energy[i], 3));
    number(13, ds.fillFactor[i]);
    number(14, ds.offDays[i]);
    text(15, ds.pointKind[i]);
    number(16, ds.tanPhi[i]);
    number(17, 0);
    // The calculation period, repeated on every row; only row 2 is read back.
    number(18, periodDays);
    number(19, ds.calcMonth);
    number(20, ds.calcYear);
    for (auto it = notNumbers.cbegin(); it != notNumbers.cend(); ++it)
        if (it.key() < 1 || it.key() > kLastDataColumn)
            w.text(r, it.key(), it.value());
}

// The rows of each table in index order. A table whose count is 0 is not written; the counts
// written are the rows actually written, so that the workbook always reads back as saved.
struct TableRows
{
    QVector<int> of[3];
};

TableRows tableRows(const Dataset &ds)
{
    TableRows rows;
    for (int t = 1; t <= 3; ++t) {
        if (ds.tableCount(t) == 0)
            continue;
        for (int i = 0; i < ds.rowCount(); ++i) {
            if (ds.tableNo[i] == t)
                rows.of[t - 1].append(i);
        }
    }
    return rows;
}

// Puts the header row and the rows of the tables; the row after the last one put.
int putData(SheetCells &w, const Dataset &ds, const TableRows &rows)
{
    w.text(1, 1, ds.objectName);
    for (int t = 0; t < 3; ++t)
        w.number(1, 2 + t, rows.of[t].size());
    for (int t = 0; t < 3; ++t)
        w.number(1, 5 + t, ds.meteringKind[t] == MeteringKind::Settlement ? 0 : 1);
    w.number(1, 8, toWhole(ds.reserved1));
    w.number(1, 9, toWhole(ds.reserved2));
    // The dialog has already rounded these to its spin boxes' decimals; the rounding here only
    // matters for callers without the dialog.
    // A text that is no number stands instead of its figure, as it was read.
    const QMap<int, QString> &kept = ds.headerNonNumericText;
    w.text(1, 10, kept.value(10, fixedText(ds.techLosses, 3)));
    w.text(1, 11, kept.value(11, fixedText(ds.techLossErrorPct, 1)));
    w.text(1, 12, kept.value(12, fixedText(ds.permissibleCommercialLoss, 1)));
    for (auto it = kept.cbegin(); it != kept.cend(); ++it)
        if (it.key() < 10 || it.key() > 12)
            w.text(1, it.key(), it.value());
    // The object's own parameters travel with it (a dataset that holds none and only the neutral
    // values adds nothing, so that load then save stays the identity).
    for (int k = 0; k < 4 && storesParameters(ds); ++k)
        w.number(1, kFirstReleaseColumn + k, round(ds.networkRelease[k], 2));
    for (int t = 0; t < 3 && storesParameters(ds); ++t)
        w.number(1, kFirstFactorColumn + t, round(ds.correctionFactorValue(t + 1), 2));

    const int periodDays = k_day(ds.calcMonth, ds.calcYear);
    int r = 2;
    for (const QVector<int> &table : rows.of) {
        for (int i : table)
            writeRow(w, r++, ds, i, periodDays);
    }
    return r;
}

// The first cell that the workbook at writtenPath does not hold as put (its sheet of the given
// name, or the data sheet as the loader finds it, read as the data sheet), as the reason for a
// failed save; empty when all match.
QString differenceIn(const QString &writtenPath, const QString &sheet, const Dataset &ds, const TableRows &rows)
{
    QXlsx::Document back(writtenPath);
    const bool selected = back.selectSheet(sheet.isEmpty() ? dataSheetName : sheet) || sheet.isEmpty();
    if (!back.isLoadPackage())
        return QStringLiteral("записанный файл не читается как книга xlsx");
    if (!selected)
        return QStringLiteral("в записанном файле нет листа \"%1\"").arg(sheet);
    SheetCells check(back, SheetCells::Check);
    putData(check, ds, rows);
    if (check.ok())
        return QString();
    return QStringLiteral("ячейка %1 записанного файла при проверке прочитана не так, как записана")
        .arg(check.failedCell());
}

} // namespace

WorkbookResult saveSourceWorkbook(const Dataset &ds, const QString &path, const QString &openedPath)
{
    const int n = ds.rowCount();
    if (!rowsComplete(ds, n))
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен: столбцы таблиц имеют разную длину.").arg(path));

    const TableRows rows = tableRows(ds);

    // No save over a workbook without its backup.
    QString backupPath;
    if (QFileInfo(path).isFile()) {
        const BackupResult backup = copyFlBak(path);
        if (!backup.ok) {
            return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен: не удалось сделать его резервную "
                                                          "копию (%2). Прежний файл не изменен; данные можно "
                                                          "сохранить в другой файл.")
                                               .arg(path, backup.message));
        }
        backupPath = backup.path;
    }

    // The old file is not deleted first: the save replaces it atomically or leaves it as it was.
    const std::unique_ptr<QXlsx::Document> book = targetWorkbook(path, openedPath, ds.openedBook);
    QXlsx::Document &doc = *book;
    SheetCells w(doc, SheetCells::Write);
    const int r = putData(w, ds, rows);
    // Rows of an earlier, longer dataset are cleared, so that nothing stale stays below the data;
    // only cells that hold something are touched, however far down the sheet has an entry.
    doc.clearValues(r, 1, doc.lastRow(), kLastDataColumn);

    if (!w.ok()) {
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен: значение ячейки %2 не может быть "
                                     "записано. Прежний файл не изменен.")
                          .arg(path, w.failedCell()));
    }
    // The new file is read back before it replaces the old one.
    const QString sheet = doc.currentSheetName();
    if (!doc.saveAs(path, [&](const QString &written) { return differenceIn(written, sheet, ds, rows); })) {
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен. %2 Прежний файл не изменен.")
                                           .arg(path, writeFailureReason(path, doc.errorString())));
    }
    WorkbookResult saved;
    saved.backupPath = backupPath;
    return saved;
}

QString savedDataDifference(const QString &path, const Dataset &ds)
{
    return differenceIn(path, QString(), ds, tableRows(ds));
}

QString withXlsxSuffix(const QString &path)
{
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseSensitive) ? path : path + QStringLiteral(".xlsx");
}

} // namespace keli
