// Loading a source workbook into a Dataset, and the defaults of a new dataset.
//
// Users prepare these workbooks in any spreadsheet program, so every cell is read tolerantly:
// a reader expecting text takes a number as its decimal text, a reader expecting a number takes
// text holding a number with a point; anything else reads as empty text or 0.

#include "core/sourceworkbook.h"

#include "core/dialogfields.h"
#include "core/helpers.h"
#include "core/openedbook.h"
#include "xlsx/xlsxdocument.h"

#include <QFileInfo>
#include <QLocale>
#include <QVariant>

#include <climits>
#include <cmath>

namespace keli {

namespace {

// Above this many metering points a workbook is refused: no real object has that many, and a
// typing error in B1..D1 must not make the program allocate and walk millions of rows.
constexpr int kMaxRows = 100000;

bool isNumeric(const QVariant &v)
{
    switch (v.userType()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// A cell read as text: strings as they stand, numbers as their shortest decimal text (0 as "0";
// whole numbers in full, 1000000 and not "1e+06").
QString cellText(const QVariant &v)
{
    if (!v.isValid())
        return QString();
    if (isNumeric(v)) {
        const double d = v.toDouble();
        if (d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    return v.toString();
}

// A cell read as a number, exactly as stored (never through single precision): a numeric cell, or
// text holding a number as users write it (parseNumber); any other text, a boolean or an empty cell
// gives 0, and *notNumber (when given) is set for text that is not a number.
double cellNumber(const QVariant &v, bool *notNumber = nullptr)
{
    if (v.userType() == QMetaType::Double) {
        // What the workbook layer gives for every number: read in place, not through a conversion.
        const double d = *static_cast<const double *>(v.constData());
        return std::isfinite(d) ? d : 0.0;
    }
    if (isNumeric(v)) {
        const double d = v.toDouble();
        return std::isfinite(d) ? d : 0.0;
    }
    if (v.userType() == QMetaType::QString) {
        const QString text = v.toString();
        double d = 0;
        if (parseNumber(text, &d) && std::isfinite(d))
            return d;
        if (notNumber && !text.trimmed().isEmpty())
            *notNumber = true;
    }
    return 0.0;
}

// A cell read as a whole number: its number rounded half away from zero; 0 outside the int range.
int cellWhole(const QVariant &v, bool *notNumber = nullptr)
{
    const double r = round(cellNumber(v, notNumber), 0);
    return r >= double(INT_MIN) && r <= double(INT_MAX) ? static_cast<int>(r) : 0;
}

// A count of B1..D1: the cell's text with blanks removed as a whole number. Text that is not a
// whole number counts 0; "3.0" counts 3 (some programs store whole numbers so).
int countOfText(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (ok)
        return n;
    const double d = toReal(text);
    return d == std::trunc(d) && d >= double(INT_MIN) && d <= double(INT_MAX) ? static_cast<int>(d) : 0;
}

// A code or name read as text: blanks around it removed.
QString cellTrimmed(const QVariant &v)
{
    return cellText(v).trimmed();
}

// Empties everything a workbook fills: the state of a dataset that loaded nothing.
void clearLoadedContent(Dataset &ds)
{
    ds.objectName.clear();
    ds.intakeCount = ds.externalCount = ds.ownCount = 0;
    for (MeteringKind &kind : ds.meteringKind)
        kind = MeteringKind::Technical;
    ds.reserved1.clear();
    ds.reserved2.clear();
    ds.techLosses = ds.techLossErrorPct = ds.permissibleCommercialLoss = 0;
    ds.headerNonNumericText.clear();
    for (QString &factor : ds.correctionFactor)
        factor = QStringLiteral("1.00");
    ds.parametersStored = false;
    ds.fileMonth = ds.fileYear = 0;
    ds.fileMonthText.clear();
    ds.fileYearText.clear();
    ds.periodDays = k_day(ds.calcMonth, ds.calcYear);
    ds.resizeRows(0);
    ds.openedBook.reset();
}

// The object's releases and correction factors when the header row holds them (all seven cells
// numbers); otherwise the dataset's stay as they are (keli.ini's, or "1.00").
void readParameters(const QXlsx::Document &doc, Dataset &ds)
{
    double values[7];
    for (int k = 0; k < 7; ++k) {
        const QVariant v = doc.read(1, kFirstReleaseColumn + k);
        bool notNumber = false;
        values[k] = cellNumber(v, &notNumber);
        if (!v.isValid() || notNumber || cellText(v).trimmed().isEmpty())
            return;
    }
    for (int k = 0; k < 4; ++k)
        ds.networkRelease[k] = values[k];
    for (int t = 0; t < 3; ++t)
        ds.correctionFactor[t] = correctionFactorText(values[4 + t]);
    ds.parametersStored = true;
}

// Reads one metering point from workbook row r into index i. A number cell holding text that is
// not a number reads 0 and keeps its text in ds.nonNumericText.
void readRow(const QXlsx::Document &doc, int r, int i, Dataset &ds)
{
    const auto cell = [&doc, r](int column) { return doc.read(r, column); };
    QMap<int, QString> notNumbers;
    const auto number = [&](int column) {
        const QVariant v = cell(column);
        bool notNumber = false;
        const double d = cellNumber(v, &notNumber);
        if (notNumber)
            notNumbers.insert(column, v.toString());
        return d;
    };
    const auto whole = [&](int column) {
        const double d = round(number(column), 0);
        return d >= double(INT_MIN) && d <= double(INT_MAX) ? static_cast<int>(d) : 0;
    };
    ds.name[i] = cellTrimmed(cell(1));
    ds.meterCount[i] = whole(2);
    ds.meterType[i] = cellTrimmed(cell(3)).toUpper();
    ds.ctClass[i] = round(number(4), 1);
    ds.vtClass[i] = round(number(5), 1);
    ds.meterClass[i] = round(number(6), 1);
    ds.verificationDate[i] = round(number(7), 2);
    ds.ctRatedCurrent[i] = whole(8);
    const double ctVoltage = number(9);
    ds.ctVoltage[i] = ctVoltage < 1 ? round(ctVoltage, 1) : ctVoltage;
    const double reportVoltage = number(10);
    ds.reportVoltage[i] = reportVoltage < 1 ? round(reportVoltage, 1) : reportVoltage;
    // The VT circuit loss as the workbook holds it (typed by the user, or half the class as saved
    // before); an empty K is half the VT class.
    const QVariant k = cell(11);
    const bool kEmpty = !k.isValid() || k.toString().trimmed().isEmpty();
    ds.vtVoltageLoss[i] = kEmpty ? round(0.5 * ds.vtClass[i], 2) : number(11);
    ds.energy[i] = number(12);
    ds.fillFactor[i] = number(13);
    ds.offDays[i] = whole(14);
    ds.pointKind[i] = cellTrimmed(cell(15)).toUpper();
    ds.tanPhi[i] = number(16);
    ds.spare[i] = cellWhole(cell(17));
    ds.pointDays[i] = 0;
    if (!notNumbers.isEmpty()) {
        if (ds.nonNumericText.size() <= i)
            ds.nonNumericText.resize(ds.rowCount());
        ds.nonNumericText[i] = notNumbers;
    }
}

} // namespace

WorkbookResult readXLSwriteDB(Dataset &ds)
{
    clearLoadedContent(ds);
    const QString path = ds.workbookPath;
    if (!QFileInfo(path).isFile())
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не найден. Данные не загружены.").arg(path));

    // The state is taken first: a file changed while it is read is never taken for the one read.
    const FileState state = fileState(path);
    auto opened = std::make_shared<OpenedBook>(OpenedBook{path, state, QXlsx::Document(path)});
    QXlsx::Document &doc = opened->book;
    // The data sheet is "Лист1" when there is one, else the sheet that was active when saved.
    doc.selectSheet(QStringLiteral("Лист1"));
    if (!doc.isLoadPackage()) {
        // The workbook layer's own reason is a technical English text: the user is told its gist.
        return WorkbookResult::failure(QStringLiteral("Файл \"%1\" не удалось прочитать как книгу xlsx: он "
                                      "поврежден, защищен паролем или сохранен в другом формате. "
                                      "Данные не загружены, файл не изменен.")
                           .arg(path));
    }

    const int counts[3] = {countOfText(cellTrimmed(doc.read(1, 2))),
                           countOfText(cellTrimmed(doc.read(1, 3))),
                           countOfText(cellTrimmed(doc.read(1, 4)))};
    const qint64 total = qint64(counts[0]) + counts[1] + counts[2];
    if (counts[0] < 0 || counts[1] < 0 || counts[2] < 0 || total > kMaxRows) {
        return WorkbookResult::failure(QStringLiteral("В файле \"%1\" неверное количество групп счетчиков в ячейках "
                                      "B1, C1, D1 (%2, %3, %4): каждое должно быть не меньше 0, "
                                      "а всего не больше %5. Данные не загружены, файл не изменен.")
                           .arg(path)
                           .arg(counts[0])
                           .arg(counts[1])
                           .arg(counts[2])
                           .arg(kMaxRows));
    }

    // Row 1: the header values.
    ds.objectName = cellTrimmed(doc.read(1, 1));
    ds.intakeCount = counts[0];
    ds.externalCount = counts[1];
    ds.ownCount = counts[2];
    for (int t = 0; t < 3; ++t) {
        ds.meteringKind[t] = cellTrimmed(doc.read(1, 5 + t)) == QLatin1String("0")
                                 ? MeteringKind::Settlement
                                 : MeteringKind::Technical;
    }
    ds.reserved1 = cellText(doc.read(1, 8));
    ds.reserved2 = cellText(doc.read(1, 9));
    // Taken as read; the dialog's spin boxes round them to 3, 1 and 1 decimals and limit them to
    // their ranges when it shows them.
    double *const headerNumbers[3] = {&ds.techLosses, &ds.techLossErrorPct, &ds.permissibleCommercialLoss};
    for (int k = 0; k < 3; ++k) {
        const QVariant v = doc.read(1, 10 + k);
        bool notNumber = false;
        *headerNumbers[k] = cellNumber(v, &notNumber);
        if (notNumber)
            ds.headerNonNumericText.insert(10 + k, v.toString());
    }
    readParameters(doc, ds);

    // The period the file was saved for (row 2 only; R2 is not used: the days are those of the
    // calculation period chosen in the main window).
    ds.fileMonth = cellWhole(doc.read(2, 19));
    ds.fileYear = cellWhole(doc.read(2, 20));
    ds.fileMonthText = cellText(doc.read(2, 19));
    ds.fileYearText = cellText(doc.read(2, 20));

    // Rows: the tables one after another from row 2; rows past the counted ones are ignored and
    // missing rows read as empty.
    ds.resizeRows(int(total));
    int r = 2;
    int i = 0;
    for (int t = 1; t <= 3; ++t) {
        for (int k = 0; k < counts[t - 1]; ++k, ++r, ++i) {
            readRow(doc, r, i, ds);
            ds.tableNo[i] = t;
        }
    }
    if (ds.keepOpenedBook)
        ds.openedBook = std::move(opened);
    return WorkbookResult();
}

void readXLS(Dataset &ds)
{
    clearLoadedContent(ds);
    ds.objectName = QStringLiteral("Новый");
    for (MeteringKind &kind : ds.meteringKind)
        kind = MeteringKind::Settlement;
    for (double &release : ds.networkRelease)
        release = 0;
    ds.fileMonth = ds.calcMonth;
    ds.fileYear = ds.calcYear;
    ds.fileMonthText = QString::number(ds.calcMonth);
    ds.fileYearText = QString::number(ds.calcYear);
    ds.workbookPath = QStringLiteral("Новый.xlsx");
}

} // namespace keli
