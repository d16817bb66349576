#include "xlsx/xlsxdocument.h"

#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxcontenttypes.h"
#include "xlsx/xlsxnewpackage.h"
#include "xlsx/xlsxpartdeflater.h"
#include "xlsx/xlsxpartinflater.h"
#include "xlsx/xlsxrelationships.h"
#include "xlsx/xlsxsharedstrings.h"
#include "xlsx/xlsxstyles.h"
#include "xlsx/xlsxworkbook.h"
#include "xlsx/xlsxworksheet.h"
#include "xlsx/xlsxzippackage.h"

#include "io/checkedwrite.h"

#include <QBuffer>
#include <QFileInfo>

#include <cmath>
#include <functional>
#include <memory>

namespace QXlsx {

namespace {
const QString relationshipBase = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");
const QString stylesType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
} // namespace

struct SheetEntry
{
    QString name;
    QString part;            // empty for a sheet that is not a worksheet (a chart sheet)
    Worksheet worksheet;
    bool parsed = false;     // sheets are read when first selected
};

class DocumentPrivate
{
public:
    bool load();
    bool chargeBudget(const QString &part);
    bool readPart(const QString &part, QByteArray *data);
    bool readAndParse(const QString &part, const std::function<bool(PartStream &)> &parse);
    bool parseSheet(size_t index);
    bool ensureStyles();
    bool writeSheet(const SheetEntry &sheet, DeflatedPart *part);
    bool build(QByteArray *zip);

    QString path;
    bool loaded = false;
    bool refuseSave = false; // the named file exists but could not be read: never write over it
    QString error;

    ZipPackage package;
    ContentTypes contentTypes;
    QString workbookPart;
    QString workbookRelsPart;
    Relationships workbookRels;
    QString stylesPart;
    bool stylesAdded = false;
    Styles styles;
    SharedStrings sharedStrings;
    QString calcChainPart;
    bool dropCalcChain = false;
    std::vector<SheetEntry> sheets;
    int current = 0;
    // The inflated bytes of the parts read so far, against a budget for the whole package: a
    // workbook of many large sheets is refused before it exhausts memory.
    static constexpr quint64 maxInflatedBytes = 256ULL * 1024 * 1024;
    quint64 inflatedBytes = 0;
};

bool DocumentPrivate::chargeBudget(const QString &part)
{
    inflatedBytes += package.partSize(part);
    if (inflatedBytes <= maxInflatedBytes)
        return true;
    error = QStringLiteral("the parts read inflate past %1 MiB (at %2)").arg(maxInflatedBytes >> 20).arg(part);
    return false;
}

bool DocumentPrivate::readPart(const QString &part, QByteArray *data)
{
    return chargeBudget(part) && package.read(part, data, &error);
}

// A large part is parsed as it is inflated; a damaged one is reported as such, whatever its
// parser made of it.
bool DocumentPrivate::readAndParse(const QString &part, const std::function<bool(PartStream &)> &parse)
{
    if (!chargeBudget(part))
        return false;
    if (const std::unique_ptr<PartInflater> inflater = package.inflating(part)) {
        const bool parsed = parse(*inflater);
        return inflater->finish(&error) && parsed;
    }
    QByteArray data;
    if (!package.read(part, &data, &error))
        return false;
    WholePart whole(data);
    return parse(whole);
}

bool DocumentPrivate::parseSheet(size_t index)
{
    SheetEntry &sheet = sheets[index];
    if (sheet.parsed || sheet.part.isEmpty())
        return true;
    sheet.parsed = readAndParse(sheet.part, [&](PartStream &xml) { return sheet.worksheet.load(xml, sharedStrings, sheet.part, &error); });
    return sheet.parsed;
}

bool DocumentPrivate::load()
{
    QByteArray data;
    if (!readPart(ContentTypes::partName(), &data) || !contentTypes.parse(data, &error))
        return false;
    Relationships rootRels;
    if (!readPart(QStringLiteral("_rels/.rels"), &data) || !rootRels.parse(data, QStringLiteral("_rels/.rels"), &error))
        return false;
    const Relationship *office = rootRels.byKind(QStringLiteral("officeDocument"));
    if (!office) {
        error = QStringLiteral("the package has no workbook");
        return false;
    }
    workbookPart = Relationships::resolve(QString(), office->target);
    Workbook workbook;
    if (!readPart(workbookPart, &data) || !workbook.parse(data, workbookPart, &error))
        return false;
    workbookRelsPart = Relationships::partFor(workbookPart);
    if (package.contains(workbookRelsPart)) {
        if (!readPart(workbookRelsPart, &data) || !workbookRels.parse(data, workbookRelsPart, &error))
            return false;
    }
    if (const Relationship *r = workbookRels.byKind(QStringLiteral("sharedStrings"))) {
        const QString part = Relationships::resolve(workbookPart, r->target);
        if (!readAndParse(part, [&](PartStream &xml) { return sharedStrings.parse(xml, part, &error); }))
            return false;
    }
    if (const Relationship *r = workbookRels.byKind(QStringLiteral("styles"))) {
        stylesPart = Relationships::resolve(workbookPart, r->target);
        if (!readPart(stylesPart, &data) || !styles.parse(data, stylesPart, &error))
            return false;
    }
    if (const Relationship *r = workbookRels.byKind(QStringLiteral("calcChain")))
        calcChainPart = Relationships::resolve(workbookPart, r->target);

    if (workbook.sheets.isEmpty()) {
        error = QStringLiteral("the workbook has no sheets");
        return false;
    }
    sheets.resize(size_t(workbook.sheets.size()));
    for (int i = 0; i < workbook.sheets.size(); ++i) {
        SheetEntry &sheet = sheets[size_t(i)];
        sheet.name = workbook.sheets[i].name;
        const Relationship *r = workbookRels.byId(workbook.sheets[i].relationshipId);
        if (!r || r->external) {
            error = QStringLiteral("sheet \"%1\" has no part").arg(sheet.name);
            return false;
        }
        if (!r->type.endsWith(QLatin1String("/worksheet")))
            continue; // chart sheets and the like hold no cells
        sheet.part = Relationships::resolve(workbookPart, r->target);
        for (size_t j = 0; j < size_t(i); ++j) {
            if (sheets[j].part.compare(sheet.part, Qt::CaseInsensitive) == 0) {
                error = QStringLiteral("sheets \"%1\" and \"%2\" share one part").arg(sheets[j].name, sheet.name);
                return false;
            }
        }
    }
    current = workbook.activeTab;
    return parseSheet(size_t(current));
}

// A package without a style sheet gets the minimal one when a cell style is first needed.
bool DocumentPrivate::ensureStyles()
{
    if (!stylesPart.isEmpty())
        return true;
    const QString dir = workbookPart.left(workbookPart.lastIndexOf(QLatin1Char('/')) + 1);
    stylesPart = dir + QStringLiteral("styles.xml");
    for (int n = 2; package.contains(stylesPart); ++n)
        stylesPart = dir + QStringLiteral("styles%1.xml").arg(n);
    QString ignored;
    if (!styles.parse(Styles::defaultXml(), stylesPart, &ignored))
        return false;
    workbookRels.add(relationshipBase + QStringLiteral("styles"), stylesPart.mid(dir.size()));
    contentTypes.setOverride(stylesPart, stylesType);
    stylesAdded = true;
    return true;
}

// A large sheet is inflated on a thread while it is merged into (and deflated on another);
// a damaged one is reported as such, whatever was made of it.
bool DocumentPrivate::writeSheet(const SheetEntry &sheet, DeflatedPart *part)
{
    if (const std::unique_ptr<PartInflater> inflater = package.inflating(sheet.part)) {
        const bool written = sheet.worksheet.write(*inflater, part, &error);
        return inflater->finish(&error) && written;
    }
    QByteArray original;
    if (!package.read(sheet.part, &original, &error))
        return false;
    WholePart whole(original);
    return sheet.worksheet.write(whole, part, &error);
}

bool DocumentPrivate::build(QByteArray *zip)
{
    QVector<DeflatedPart> changed;
    QStringList removed;
    QByteArray original;
    QByteArray updated;
    // Sheets are deflated as they are written; the small parts after them, whole.
    const auto add = [&](const QString &part, const QByteArray &bytes) {
        changed.append(DeflatedPart());
        changed.back().name = part;
        return PartDeflater::deflate(bytes, &changed.back(), &error);
    };
    for (const SheetEntry &sheet : sheets) {
        if (!sheet.worksheet.isChanged())
            continue;
        changed.append(DeflatedPart());
        changed.back().name = sheet.part;
        if (!writeSheet(sheet, &changed.back()))
            return false;
    }
    if (styles.isChanged() || stylesAdded) {
        if (stylesAdded)
            original = Styles::defaultXml();
        else if (!package.read(stylesPart, &original, &error))
            return false;
        if (!styles.write(original, &updated, &error) || !add(stylesPart, updated))
            return false;
    }
    ContentTypes types = contentTypes;
    Relationships rels = workbookRels;
    bool relsChanged = stylesAdded;
    if (dropCalcChain && !calcChainPart.isEmpty()) {
        // A cell that held a formula was overwritten: the calculation chain would name it.
        removed << calcChainPart;
        types.removeOverride(calcChainPart);
        while (const Relationship *r = rels.byKind(QStringLiteral("calcChain")))
            rels.remove(r->id);
        relsChanged = true;
    }
    if (relsChanged && !(add(ContentTypes::partName(), types.toXml()) && add(workbookRelsPart, rels.toXml())))
        return false;
    QBuffer buffer(zip);
    buffer.open(QIODevice::WriteOnly);
    return package.writeDeflated(&buffer, changed, removed, &error);
}

Document::Document()
    : d(new DocumentPrivate)
{
    addNewPackageParts(&d->package);
    d->load();
}

Document::Document(const QString &name)
    : d(new DocumentPrivate)
{
    d->path = name;
    if (QFileInfo::exists(name)) {
        d->loaded = d->package.open(name, &d->error) && d->load();
        if (d->loaded)
            return;
    }
    // Not there or unreadable: an empty new workbook, which never replaces an unreadable file.
    const QString why = d->error;
    *d = DocumentPrivate();
    d->path = name;
    d->refuseSave = !why.isEmpty();
    addNewPackageParts(&d->package);
    d->load();
    d->error = why;
}

Document::Document(const Document &other)
    : d(new DocumentPrivate(*other.d))
{
}

Document::~Document() = default;

bool Document::isLoadPackage() const
{
    return d->loaded;
}

QString Document::errorString() const
{
    return d->error;
}

QStringList Document::sheetNames() const
{
    QStringList names;
    for (const SheetEntry &s : d->sheets)
        names << s.name;
    return names;
}

bool Document::selectSheet(const QString &name)
{
    for (size_t i = 0; i < d->sheets.size(); ++i) {
        if (d->sheets[i].name != name)
            continue;
        if (!d->parseSheet(i)) {
            // An unreadable sheet, or one past the budget: the workbook is refused as a whole.
            d->loaded = false;
            d->refuseSave = true;
            return false;
        }
        d->current = int(i);
        return true;
    }
    return false;
}

QString Document::currentSheetName() const
{
    return d->sheets.empty() ? QString() : d->sheets[size_t(d->current)].name;
}

QVariant Document::read(int row, int column) const
{
    if (d->sheets.empty() || !CellReference::isValid(row, column))
        return QVariant();
    return d->sheets[size_t(d->current)].worksheet.read(row, column);
}

int Document::lastRow() const
{
    return d->sheets.empty() ? 0 : d->sheets[size_t(d->current)].worksheet.lastRow();
}

bool Document::write(int row, int column, const QVariant &value, const Format &format)
{
    if (d->sheets.empty() || !CellReference::isValid(row, column))
        return false;
    SheetEntry &sheet = d->sheets[size_t(d->current)];
    if (sheet.part.isEmpty())
        return false;
    QVariant stored;
    switch (value.userType()) {
    case QMetaType::UnknownType:
        break;
    case QMetaType::QString:
        if (!value.toString().isEmpty())
            stored = value.toString();
        break;
    case QMetaType::QChar:
        stored = QString(value.toChar());
        break;
    case QMetaType::Bool:
        stored = value.toBool();
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double: {
        const double v = value.toDouble();
        if (!std::isfinite(v))
            return false;
        stored = v;
        break;
    }
    default:
        return false;
    }
    if (!stored.isValid() && format.isEmpty() && !sheet.worksheet.holdsValue(row, column))
        return true; // nothing to clear: no empty cell is made for it
    if (format.isEmpty() && stored.isValid() && sheet.worksheet.holdsExactly(row, column, stored))
        return true; // the cell holds it already: it stays as it is stored
    int style = sheet.worksheet.styleOf(row, column);
    if (!format.isEmpty()) {
        if (!d->ensureStyles())
            return false;
        style = d->styles.styleFor(style, format);
        if (style < 0)
            return false;
    }
    if (sheet.worksheet.set(row, column, stored, style))
        d->dropCalcChain = true;
    return true;
}

void Document::clearValues(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    if (d->sheets.empty() || d->sheets[size_t(d->current)].part.isEmpty())
        return;
    if (d->sheets[size_t(d->current)].worksheet.clearValues(firstRow, firstColumn, lastRow, lastColumn))
        d->dropCalcChain = true;
}

void Document::setRowHeight(int row, double points)
{
    if (!d->sheets.empty() && CellReference::isValid(row, 1) && points > 0 && points <= 409)
        d->sheets[size_t(d->current)].worksheet.setRowHeight(row, points);
}

bool Document::save()
{
    if (d->refuseSave) {
        d->error = QStringLiteral("%1 could not be read and is not written over").arg(d->path);
        return false;
    }
    return saveAs(d->path);
}

bool Document::saveAs(const QString &name)
{
    return saveAs(name, nullptr);
}

bool Document::saveAs(const QString &name, const std::function<QString(const QString &writtenPath)> &check)
{
    if (name.isEmpty()) {
        d->error = QStringLiteral("no file name");
        return false;
    }
    QByteArray zip;
    if (!d->build(&zip))
        return false;
    return keli::writeFileChecked(name, zip, &d->error, check);
}

} // namespace QXlsx
