// Saving a Dataset as a source workbook: row 1 the header values, then the metering points of
// the three tables one after another, table 1 first. Texts go into text cells, everything else
// into number cells, each keeping the style its cell had. An existing workbook is written in place:
// only columns A..T of its data sheet change; other sheets, styles, widths and cells right of T stay.

#include "core/sourceworkbook.h"

#include "core/helpers.h"
#include "core/writefailure.h"
#include "xlsx/xlsxdocument.h"

#include <QFileInfo>
#include <QSet>
#include <QVariant>
#include <QVector>

#include <cmath>
#include <memory>

namespace keli {

namespace {

// "L5" for row 5, column 12.
QString cellName(int row, int column)
{
    return QString(QChar('A' + column - 1)) + QString::number(row);
}

// Writes cells, remembers the first one that could not be written, and keeps what it wrote, so
// that the saved file can be read back and compared before it replaces the old one.
class SheetWriter
{
public:
    explicit SheetWriter(QXlsx::Document &doc) : m_doc(doc) {}

    void text(int row, int column, const QString &value) { put(row, column, QVariant(value)); }

    void number(int row, int column, double value)
    {
        if (!std::isfinite(value)) {
            fail(row, column);
            return;
        }
        put(row, column, QVariant(value));
    }

    bool ok() const { return m_failedRow == 0; }
    QString failedCell() const { return cellName(m_failedRow, m_failedColumn); }

    // The first written cell that the workbook at writtenPath does not hold as written (its data
    // sheet named as the one written), as the reason for a failed save; empty when all match.
    QString differenceIn(const QString &writtenPath) const;

private:
    struct Written
    {
        int row;
        int column;
        QVariant value;
    };

    void put(int row, int column, const QVariant &value)
    {
        if (m_doc.write(row, column, value))
            m_written.append({row, column, value});
        else
            fail(row, column);
    }
    void fail(int row, int column)
    {
        if (ok()) {
            m_failedRow = row;
            m_failedColumn = column;
        }
    }

    QXlsx::Document &m_doc;
    int m_failedRow = 0;
    int m_failedColumn = 0;
    QVector<Written> m_written;
};

// A cell as read back holds what was written: the same text (an empty one reads as no value) or
// the same number, bit for bit.
bool sameValue(const QVariant &written, const QVariant &read)
{
    if (written.userType() == QMetaType::QString && written.toString().isEmpty())
        return !read.isValid();
    if (!written.isValid())
        return !read.isValid();
    if (written.userType() == QMetaType::QString)
        return read.userType() == QMetaType::QString && read.toString() == written.toString();
    return read.userType() == QMetaType::Double && read.toDouble() == written.toDouble();
}

QString SheetWriter::differenceIn(const QString &writtenPath) const
{
    QXlsx::Document back(writtenPath);
    const bool selected = back.selectSheet(m_doc.currentSheetName());
    if (!back.isLoadPackage())
        return QStringLiteral("записанный файл не читается как книга xlsx");
    if (!selected)
        return QStringLiteral("в записанном файле нет листа \"%1\"").arg(m_doc.currentSheetName());
    // Latest write first: a cell written twice holds its last value.
    QSet<qint64> checked;
    for (int k = m_written.size() - 1; k >= 0; --k) {
        const Written &w = m_written[k];
        const qint64 key = qint64(w.row) << 16 | w.column;
        if (checked.contains(key))
            continue;
        checked.insert(key);
        if (!sameValue(w.value, back.read(w.row, w.column)))
            return QStringLiteral("ячейка %1 записанного файла при проверке прочитана не так, как записана")
                .arg(cellName(w.row, w.column));
    }
    return QString();
}

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

// The last column of the data layout (T): cells right of it belong to the user.
constexpr int kLastDataColumn = 20;

// The workbook to write into, its data sheet selected as the loader selects it: the existing one at
// path; else a copy of the workbook the dataset was opened from (saving under a new name keeps its
// other sheets and layout); else a new one (an unreadable file at path has its copy in the backup).
std::unique_ptr<QXlsx::Document> targetWorkbook(const QString &path, const QString &openedPath)
{
    for (const QString &base : {path, openedPath}) {
        if (base.isEmpty() || !QFileInfo(base).isFile())
            continue;
        // Sheets are read when selected: whether it loaded is known after the selection.
        auto existing = std::make_unique<QXlsx::Document>(base);
        existing->selectSheet(QStringLiteral("Лист1"));
        if (existing->isLoadPackage())
            return existing;
    }
    auto created = std::make_unique<QXlsx::Document>();
    // A new workbook has no sheet "List1": the data go to its first sheet.
    created->selectSheet(QStringLiteral("List1"));
    return created;
}

void writeRow(SheetWriter &w, int r, const Dataset &ds, int i, int periodDays)
{
    w.text(r, 1, ds.name[i]);
    w.number(r, 2, ds.meterCount[i]);
    w.text(r, 3, ds.meterType[i]);
    w.number(r, 4, round(ds.ctClass[i], 1));
    w.number(r, 5, round(ds.vtClass[i], 1));
    w.number(r, 6, round(ds.meterClass[i], 1));
    w.number(r, 7, ds.verificationDate[i]);
    w.number(r, 8, round(ds.ctRatedCurrent[i], 1));
    w.number(r, 9, ds.ctVoltage[i]);
    w.number(r, 10, ds.reportVoltage[i]);
    w.number(r, 11, ds.vtVoltageLoss[i]);
    // The energy as entered (never corrected), as text with exactly 3 decimals.
    w.text(r, 12, fixedText(ds.energy[i], 3));
    w.number(r, 13, ds.fillFactor[i]);
    w.number(r, 14, ds.offDays[i]);
    w.text(r, 15, ds.pointKind[i]);
    w.number(r, 16, ds.tanPhi[i]);
    w.number(r, 17, 0);
    // The calculation period, repeated on every row; only row 2 is read back.
    w.number(r, 18, periodDays);
    w.number(r, 19, ds.calcMonth);
    w.number(r, 20, ds.calcYear);
    // A number cell that holds something else keeps its text.
    const QMap<int, QString> notNumbers = ds.nonNumericText.value(i);
    for (auto it = notNumbers.cbegin(); it != notNumbers.cend(); ++it)
        w.text(r, it.key(), it.value());
}

} // namespace

WorkbookResult saveSourceWorkbook(const Dataset &ds, const QString &path, const QString &openedPath)
{
    const int n = ds.rowCount();
    if (!rowsComplete(ds, n))
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен: столбцы таблиц имеют разную длину.").arg(path));

    // The rows of each table in index order. A table whose count is 0 is not written; the counts
    // written are the rows actually written, so that the workbook always reads back as saved.
    QVector<int> rowsOf[3];
    for (int t = 1; t <= 3; ++t) {
        if (ds.tableCount(t) == 0)
            continue;
        for (int i = 0; i < n; ++i) {
            if (ds.tableNo[i] == t)
                rowsOf[t - 1].append(i);
        }
    }

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
    const std::unique_ptr<QXlsx::Document> book = targetWorkbook(path, openedPath);
    QXlsx::Document &doc = *book;
    SheetWriter w(doc);

    w.text(1, 1, ds.objectName);
    for (int t = 0; t < 3; ++t)
        w.number(1, 2 + t, rowsOf[t].size());
    for (int t = 0; t < 3; ++t)
        w.number(1, 5 + t, ds.meteringKind[t] == MeteringKind::Settlement ? 0 : 1);
    w.number(1, 8, toWhole(ds.reserved1));
    w.number(1, 9, toWhole(ds.reserved2));
    // The dialog has already rounded these to its spin boxes' decimals; the rounding here only
    // matters for callers without the dialog.
    w.text(1, 10, fixedText(ds.techLosses, 3));
    w.text(1, 11, fixedText(ds.techLossErrorPct, 1));
    w.text(1, 12, fixedText(ds.permissibleCommercialLoss, 1));
    for (auto it = ds.headerNonNumericText.cbegin(); it != ds.headerNonNumericText.cend(); ++it)
        w.text(1, it.key(), it.value());
    // The object's own parameters travel with it (a dataset that holds none and only the neutral
    // values adds nothing, so that load then save stays the identity).
    for (int k = 0; k < 4 && storesParameters(ds); ++k)
        w.number(1, kFirstReleaseColumn + k, round(ds.networkRelease[k], 2));
    for (int t = 0; t < 3 && storesParameters(ds); ++t)
        w.number(1, kFirstFactorColumn + t, round(ds.correctionFactorValue(t + 1), 2));

    const int periodDays = k_day(ds.calcMonth, ds.calcYear);
    int r = 2;
    for (const QVector<int> &rows : rowsOf) {
        for (int i : rows)
            writeRow(w, r++, ds, i, periodDays);
    }
    // Rows of an earlier, longer dataset are cleared, so that nothing stale stays below the data;
    // only cells that hold something are touched, however far down the sheet has an entry.
    doc.clearValues(r, 1, doc.lastRow(), kLastDataColumn);

    if (!w.ok()) {
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен: значение ячейки %2 не может быть "
                                     "записано. Прежний файл не изменен.")
                          .arg(path, w.failedCell()));
    }
    // The new file is read back before it replaces the old one.
    if (!doc.saveAs(path, [&w](const QString &written) { return w.differenceIn(written); })) {
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не сохранен. %2 Прежний файл не изменен.")
                                           .arg(path, writeFailureReason(path, doc.errorString())));
    }
    WorkbookResult saved;
    saved.backupPath = backupPath;
    return saved;
}

QString withXlsxSuffix(const QString &path)
{
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseSensitive) ? path : path + QStringLiteral(".xlsx");
}

} // namespace keli
