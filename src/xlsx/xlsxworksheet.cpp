#include "xlsx/xlsxworksheet.h"

#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxsharedstrings.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlscanner.h"

#include <QBuffer>
#include <QLocale>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace QXlsx {

namespace {

bool isName(const QStringRef &name, const char *what)
{
    return name == QLatin1String(what);
}

// A cell's number: the text as written by spreadsheet programs (plain decimal or exponent form,
// blanks around allowed), converted with correct rounding; false for anything else.
double toNumber(QStringView text, bool *ok)
{
    text = text.trimmed();
    char buffer[64];
    int n = 0;
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if (n == int(sizeof buffer) || !((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E')) {
            // Long or unusual forms (no infinities or NaN) take the general way.
            const double v = text.toString().toDouble(ok);
            *ok = *ok && std::isfinite(v);
            return *ok ? v : 0;
        }
        buffer[n++] = char(u);
    }
    const char *begin = buffer;
    if (n > 0 && buffer[0] == '+')
        ++begin;
    double v = 0;
    const std::from_chars_result r = std::from_chars(begin, buffer + n, v);
    *ok = r.ec == std::errc() && r.ptr == buffer + n && std::isfinite(v);
    return v;
}

// Digits with at most one point and no exponent, 15 digits at most: the mantissa and the power of
// ten are exact doubles, so one division gives the correctly rounded value, as from_chars would.
bool shortDecimal(std::string_view text, double *value)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    static const double powers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qint64 mantissa = 0;
    int digits = 0, decimals = 0, before = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (++digits > 15)
                return false;
            if (point)
                ++decimals;
            else
                ++before;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (before == 0 || (point && decimals == 0))
        return false;
    const double v = double(mantissa) / powers[decimals];
    *value = negative ? -v : v;
    return true;
}

// The same from the UTF-8 text of a v element; short decimals without the detour through QString.
double toNumber(std::string_view text, bool *ok)
{
    double quick = 0;
    if (shortDecimal(text, &quick)) {
        *ok = true;
        return quick;
    }
    return toNumber(fromUtf8(text), ok);
}

enum class CellType { Number, Shared, Boolean, Text };

// The value types of the t attribute; "str" (a formula's text), "inlineStr", "e" (an error) and
// "d" (an ISO date) are read as the text they hold.
CellType cellType(std::string_view t)
{
    if (t.empty() || t == "n")
        return CellType::Number;
    if (t == "s")
        return CellType::Shared;
    if (t == "b")
        return CellType::Boolean;
    return CellType::Text;
}

// Digits only, short enough for an int: the common form of indexes, styles and row numbers.
bool isSmallNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int smallNumber(std::string_view text)
{
    int n = 0;
    for (const char c : text)
        n = n * 10 + (c - '0');
    return n;
}

// As QString::toInt: 0 for anything that is not a number.
int toInt(std::string_view text)
{
    return isSmallNumber(text) ? smallNumber(text) : fromUtf8(text).toInt();
}

bool parseReference(std::string_view text, int *row, int *column)
{
    // The common form: one to three capitals and the row's digits.
    size_t letters = 0;
    int c = 0;
    while (letters < text.size() && letters < 4 && text[letters] >= 'A' && text[letters] <= 'Z')
        c = c * 26 + (text[letters++] - 'A' + 1);
    const size_t digits = text.size() - letters;
    if (letters >= 1 && letters <= 3 && digits >= 1 && digits <= 7 && isSmallNumber(text.substr(letters))) {
        const int r = smallNumber(text.substr(letters));
        if (c > CellReference::maxColumns || r < 1 || r > CellReference::maxRows)
            return false;
        *row = r;
        *column = c;
        return true;
    }
    return CellReference::parse(fromUtf8(text), row, column);
}

// The index a shared string cell's text names; -1 for one that names none.
int sharedIndex(std::string_view text)
{
    if (isSmallNumber(text))
        return smallNumber(text);
    bool ok = false;
    const int index = fromUtf8(text).trimmed().toInt(&ok);
    return ok ? index : -1;
}

// Short inline texts repeat down a column (codes such as a meter type): the index of the last
// few is kept, so that each is decoded and held once.
class RecentTexts
{
public:
    explicit RecentTexts(std::vector<QString> &texts) : m_texts(texts) {}

    // The index of the text in texts, added when it is not one of the recent ones.
    int get(std::string_view bytes)
    {
        if (bytes.size() > maxBytes)
            return add(fromUtf8(bytes));
        size_t hash = 2166136261u;
        for (const char c : bytes)
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        Slot &slot = m_slots[hash % slotCount];
        if (slot.index < 0 || slot.bytes != bytes) {
            slot.bytes.assign(bytes.data(), bytes.size());
            slot.index = add(fromUtf8(bytes));
        }
        return slot.index;
    }

    // The index of a text added to texts, not kept among the recent ones.
    int add(const QString &text)
    {
        m_texts.push_back(text);
        return int(m_texts.size() - 1);
    }

private:

    static constexpr size_t maxBytes = 15; // kept without an allocation of its own
    static constexpr size_t slotCount = 64;
    struct Slot
    {
        int index = -1;
        std::string bytes;
    };
    std::vector<QString> &m_texts;
    Slot m_slots[slotCount];
};

// Characters XML 1.0 cannot hold (control characters, unpaired surrogates) would make the part
// unreadable to every program; they are replaced by U+FFFD.
QString xmlSafe(QString text)
{
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text[i].unicode();
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            text[i] = QChar::ReplacementCharacter;
        } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
        } else if (QChar::isSurrogate(u) || u == 0xFFFE || u == 0xFFFF) {
            text[i] = QChar::ReplacementCharacter;
        }
    }
    return text;
}

} // namespace

QString Worksheet::numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool Worksheet::load(const QByteArray &xml, const SharedStrings &strings, const QString &part, QString *error)
{
    WholePart whole(xml);
    return load(whole, strings, part, error);
}

bool Worksheet::load(PartStream &stream, const SharedStrings &strings, const QString &part, QString *error)
{
    QString badReference;
    LoadResult result = Unreadable;
    {
        XmlScanner scanner(stream);
        result = scan(scanner, strings, &badReference);
    }
    if (result == Unreadable) {
        // Beyond the plain XML the scanner reads: read by the general reader, then scanned.
        const QByteArray xml = wholePart(stream);
        QByteArray copy;
        if (!Xml::plainCopy(xml, &copy, part, error)) {
            m_rows.clear();
            return false;
        }
        XmlScanner scanner(copy.constData(), size_t(copy.size()));
        result = scan(scanner, strings, &badReference);
        if (result == Unreadable) {
            *error = QStringLiteral("%1: unreadable XML").arg(part);
            m_rows.clear();
            return false;
        }
    }
    if (result == BadReference) {
        *error = QStringLiteral("%1: cell reference outside the sheet: %2").arg(part, badReference.left(40));
        m_rows.clear();
        return false;
    }
    return true;
}

Worksheet::LoadResult Worksheet::scan(XmlScanner &xml, const SharedStrings &strings, QString *badReference)
{
    m_rows.clear();
    m_texts.clear();
    m_columnStyles.clear();
    m_rowStyles.clear();
    m_edits.clear();

    bool inSheetData = false;
    bool inRow = false;
    bool rowsSorted = true;
    int rowNumber = 0;
    int lastColumn = 0;
    std::string text;
    std::string value;
    RecentTexts recentTexts(m_texts);
    // A cell's value from its text, and the cell kept when it has a value, a style or a formula.
    const auto storeCell = [&](Cell &cell, CellType type, int column, bool hasText, std::string_view cellText) {
        if (hasText) {
            switch (type) {
            case CellType::Number: {
                bool ok = false;
                cell.number = toNumber(cellText, &ok);
                cell.kind = ok ? Cell::Number : Cell::Empty;
                break;
            }
            case CellType::Shared: {
                const QString text = strings.at(sharedIndex(cellText));
                if (!text.isNull()) {
                    cell.kind = Cell::Text;
                    cell.text = recentTexts.add(text);
                }
                break;
            }
            case CellType::Boolean: {
                const QString t = fromUtf8(cellText).trimmed();
                cell.kind = Cell::Boolean;
                cell.boolean = t == QLatin1String("1") || t == QLatin1String("true");
                break;
            }
            case CellType::Text:
                cell.kind = Cell::Text;
                cell.text = recentTexts.get(cellText);
                break;
            }
        }
        if (cell.style != 0 || cell.formula || cell.kind != Cell::Empty) {
            Row &row = m_rows.back();
            if (!row.cells.empty() && row.cells.back().column >= column)
                rowsSorted = false;
            row.cells.push_back(cell);
        }
        lastColumn = column;
    };
    // A cell whose start tag was the last token, or one taken whole in the given form (-1: empty).
    const auto readCell = [&](bool whole, int form, std::string_view wholeText) -> LoadResult {
        Cell cell;
        CellType type = CellType::Number;
        int column = lastColumn + 1;
        for (const XmlScanner::Attribute &a : xml.attributes()) {
            if (a.name.size() != 1 || a.prefixed)
                continue;
            const std::string_view v = XmlScanner::value(&a, &value);
            if (a.name[0] == 'r') {
                int r = 0;
                if (v.empty())
                    break; // read as no reference; the attributes after it are not read
                if (!parseReference(v, &r, &column)) {
                    *badReference = fromUtf8(v);
                    return BadReference;
                }
            } else if (a.name[0] == 't') {
                type = cellType(v);
            } else if (a.name[0] == 's') {
                cell.style = toInt(v);
            }
        }
        if (column > CellReference::maxColumns) {
            *badReference = CellReference::format(rowNumber, column);
            return BadReference;
        }
        cell.column = quint16(column);
        if (whole) {
            if (form == 1)
                type = CellType::Text; // an inline string, whatever the type said
            storeCell(cell, type, column, form >= 0, wholeText);
            return Loaded;
        }
        text.clear();
        // The common <v>digits</v> as the first child is taken whole; its text is used where it
        // stands unless more text follows.
        std::string_view firstValue;
        bool inFirstValue = xml.takeTextElement("v", &firstValue);
        bool hasText = inFirstValue;
        for (;;) {
            const XmlScanner::Token ct = xml.next();
            if (ct == XmlScanner::Unsure)
                return Unreadable;
            if (ct == XmlScanner::EndElement || ct == XmlScanner::EndDocument)
                break; // end of the cell
            if (ct != XmlScanner::StartElement)
                continue;
            const std::string_view child = xml.name();
            if (child == "v") {
                if (inFirstValue) {
                    text.assign(firstValue.data(), firstValue.size());
                    inFirstValue = false;
                }
                // The value's text; pieces split by comments or CDATA are joined.
                for (bool inValue = true; inValue;) {
                    switch (xml.next()) {
                    case XmlScanner::Characters: xml.appendText(&text); break;
                    case XmlScanner::StartElement:
                        if (!xml.skipElement())
                            return Unreadable;
                        break;
                    case XmlScanner::Unsure: return Unreadable;
                    default: inValue = false; break;
                    }
                }
                hasText = true;
            } else if (child == "is") {
                type = CellType::Text; // an inline string, whatever the type said
                text.clear();
                inFirstValue = false;
                if (!readStringItem(xml, &text))
                    return Unreadable;
                hasText = true;
            } else {
                if (child == "f")
                    cell.formula = true;
                if (!xml.skipElement())
                    return Unreadable;
            }
        }
        storeCell(cell, type, column, hasText, inFirstValue ? firstValue : std::string_view(text));
        return Loaded;
    };

    // Most cells are <c .../>, <c ...><v>text</v></c> or <c ...><is><t>text</t></is></c>: taken whole.
    static const XmlScanner::TextForm cellForms[] = {{std::string_view(), "v"}, {"is", "t"}};
    for (;;) {
        int form = -1;
        std::string_view wholeText;
        if (inRow && xml.takeSimpleElement("c", cellForms, 2, &form, &wholeText)) {
            const LoadResult result = readCell(true, form, wholeText);
            if (result != Loaded)
                return result;
            continue;
        }
        const XmlScanner::Token t = xml.next();
        if (t == XmlScanner::EndDocument)
            break;
        if (t == XmlScanner::Unsure)
            return Unreadable;
        if (t == XmlScanner::EndElement) {
            if (xml.name() == "row")
                inRow = false;
            else if (xml.name() == "sheetData")
                inSheetData = false;
            continue;
        }
        if (t != XmlScanner::StartElement)
            continue;
        const std::string_view name = xml.name();
        if (inRow && name == "c") {
            const LoadResult result = readCell(false, -1, std::string_view());
            if (result != Loaded)
                return result;
        } else if (inSheetData && name == "row") {
            const std::string_view r = XmlScanner::value(xml.attribute("r"), &value);
            const int number = r.empty() ? rowNumber + 1 : toInt(r);
            if (number < 1 || number > CellReference::maxRows) {
                *badReference = QStringLiteral("row ") + (r.empty() ? QString::number(number) : fromUtf8(r));
                return BadReference;
            }
            if (number <= rowNumber)
                rowsSorted = false;
            rowNumber = number;
            lastColumn = 0;
            inRow = true;
            if (XmlScanner::value(xml.attribute("customFormat"), &value) == "1")
                m_rowStyles.insert(number, toInt(XmlScanner::value(xml.attribute("s"), &value)));
            if (!m_rows.empty() && m_rows.back().cells.empty()) {
                m_rows.back().row = number; // reuse the slot of a row without cells
            } else {
                // Rows of a table mostly hold as many cells as the one before.
                const size_t expected = m_rows.empty() ? 0 : m_rows.back().cells.size();
                m_rows.push_back(Row{number, {}});
                m_rows.back().cells.reserve(expected);
            }
        } else if (name == "sheetData") {
            inSheetData = true;
        } else if (name == "col") {
            const int style = toInt(XmlScanner::value(xml.attribute("style"), &value));
            if (style > 0)
                m_columnStyles.push_back({toInt(XmlScanner::value(xml.attribute("min"), &value)),
                                          toInt(XmlScanner::value(xml.attribute("max"), &value)), style});
        }
    }
    if (!m_rows.empty() && m_rows.back().cells.empty())
        m_rows.pop_back();
    normalize(rowsSorted);
    return Loaded;
}

QString Worksheet::describe() const
{
    QString out;
    for (const Row &row : m_rows) {
        out += QStringLiteral("row %1:").arg(row.row);
        for (const Cell &c : row.cells) {
            const QVariant v = value(c);
            out += QStringLiteral(" %1/%2%3=%4:%5").arg(c.column).arg(c.style).arg(c.formula ? "f" : "")
                       .arg(QLatin1String(v.typeName())).arg(v.userType() == QMetaType::Double
                           ? QString::number(v.toDouble(), 'g', 17) : v.toString());
        }
        out += QLatin1Char('\n');
    }
    QList<int> styled = m_rowStyles.keys();
    std::sort(styled.begin(), styled.end());
    for (int r : styled)
        out += QStringLiteral("row style %1=%2\n").arg(r).arg(m_rowStyles.value(r));
    for (const ColumnStyle &c : m_columnStyles)
        out += QStringLiteral("column style %1-%2=%3\n").arg(c.first).arg(c.last).arg(c.style);
    return out;
}

void Worksheet::normalize(bool rowsSorted)
{
    if (rowsSorted)
        return;
    // Rows or cells out of order (allowed by lax producers): sort them, the last of equal ones wins.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row &a, const Row &b) { return a.row < b.row; });
    std::vector<Row> merged;
    for (Row &row : m_rows) {
        if (!merged.empty() && merged.back().row == row.row) {
            for (Cell &c : row.cells)
                merged.back().cells.push_back(std::move(c));
        } else {
            merged.push_back(std::move(row));
        }
    }
    for (Row &row : merged) {
        std::stable_sort(row.cells.begin(), row.cells.end(),
                         [](const Cell &a, const Cell &b) { return a.column < b.column; });
        std::vector<Cell> unique;
        for (Cell &c : row.cells) {
            if (!unique.empty() && unique.back().column == c.column)
                unique.back() = std::move(c);
            else
                unique.push_back(std::move(c));
        }
        row.cells = std::move(unique);
    }
    m_rows = std::move(merged);
}

const Worksheet::Cell *Worksheet::cell(int row, int column) const
{
    // Rows and cells are sorted and mostly without gaps: the place a number would have in a
    // gapless run is tried first, then a binary search.
    if (m_rows.empty())
        return nullptr;
    auto r = m_rows.end();
    const qint64 rowGuess = qint64(row) - m_rows.front().row;
    if (rowGuess >= 0 && rowGuess < qint64(m_rows.size()) && m_rows[size_t(rowGuess)].row == row)
        r = m_rows.begin() + rowGuess;
    else
        r = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &a, int n) { return a.row < n; });
    if (r == m_rows.end() || r->row != row || r->cells.empty())
        return nullptr;
    const std::vector<Cell> &cells = r->cells;
    const qint64 columnGuess = qint64(column) - cells.front().column;
    if (columnGuess >= 0 && columnGuess < qint64(cells.size()) && cells[size_t(columnGuess)].column == column)
        return &cells[size_t(columnGuess)];
    auto c = std::lower_bound(cells.begin(), cells.end(), column, [](const Cell &a, int n) { return a.column < n; });
    return c != cells.end() && c->column == column ? &*c : nullptr;
}

QVariant Worksheet::value(const Cell &cell) const
{
    switch (cell.kind) {
    case Cell::Number: return QVariant(cell.number);
    case Cell::Boolean: return QVariant(cell.boolean);
    case Cell::Text: return QVariant(m_texts[size_t(cell.text)]);
    case Cell::Empty: break;
    }
    return QVariant();
}

void Worksheet::setValue(Cell *cell, const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Double:
        cell->kind = Cell::Number;
        cell->number = value.toDouble();
        break;
    case QMetaType::Bool:
        cell->kind = Cell::Boolean;
        cell->boolean = value.toBool();
        break;
    case QMetaType::QString:
        cell->kind = Cell::Text;
        m_texts.push_back(value.toString());
        cell->text = int(m_texts.size() - 1);
        break;
    default:
        cell->kind = Cell::Empty; // what Document::write stores is one of the three or nothing
        break;
    }
}

QVariant Worksheet::read(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? value(*c) : QVariant();
}

Worksheet::Cell *Worksheet::findCell(int row, int column)
{
    auto r = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &a, int n) { return a.row < n; });
    if (r == m_rows.end() || r->row != row)
        r = m_rows.insert(r, Row{row, {}});
    auto c = std::lower_bound(r->cells.begin(), r->cells.end(), column,
                              [](const Cell &a, int n) { return a.column < n; });
    if (c == r->cells.end() || c->column != column) {
        Cell fresh;
        fresh.column = quint16(column);
        fresh.style = styleOf(row, column);
        c = r->cells.insert(c, fresh);
    }
    return &*c;
}

int Worksheet::styleOf(int row, int column) const
{
    if (const Cell *c = cell(row, column))
        return c->style;
    auto rs = m_rowStyles.constFind(row);
    if (rs != m_rowStyles.constEnd())
        return rs.value();
    for (const ColumnStyle &cs : m_columnStyles) {
        if (column >= cs.first && column <= cs.last)
            return cs.style;
    }
    return 0;
}

bool Worksheet::set(int row, int column, const QVariant &value, int style)
{
    Cell *c = findCell(row, column);
    const bool hadFormula = c->formula;
    c->formula = false;
    setValue(c, value);
    c->style = style;
    m_edits[row][column] = Edit{value, style};
    return hadFormula;
}

bool Worksheet::holdsValue(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c && (c->kind != Cell::Empty || c->formula);
}

bool Worksheet::clearValues(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    std::vector<std::pair<int, int>> held; // row, column
    auto r = std::lower_bound(m_rows.begin(), m_rows.end(), firstRow, [](const Row &a, int n) { return a.row < n; });
    for (; r != m_rows.end() && r->row <= lastRow; ++r) {
        for (const Cell &c : r->cells) {
            if (c.column >= firstColumn && c.column <= lastColumn && (c.kind != Cell::Empty || c.formula))
                held.emplace_back(r->row, c.column);
        }
    }
    bool hadFormula = false;
    for (const auto &place : held)
        hadFormula = set(place.first, place.second, QVariant(), styleOf(place.first, place.second)) || hadFormula;
    return hadFormula;
}

// Streams the original sheet to the output, replacing written cells and adding new ones in order.
class Worksheet::Writer
{
public:
    Writer(const std::map<int, RowEdits> &edits, const std::map<int, double> &heights, QXmlStreamReader &reader,
           QXmlStreamWriter &writer)
        : m_edits(edits), m_heights(heights), m_reader(reader), m_writer(writer), m_next(edits.begin())
    {
    }

    bool run()
    {
        int lastRow = 0;
        bool sheetData = false;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType t = Xml::next(m_reader);
            if (t == QXmlStreamReader::Invalid)
                return false;
            const QStringRef name = m_reader.name();
            if (t == QXmlStreamReader::StartElement && isName(name, "dimension")) {
                writeDimension();
            } else if (t == QXmlStreamReader::StartElement && isName(name, "sheetData")) {
                sheetData = true;
                m_prefix = prefix();
                Xml::copyToken(m_reader, m_writer);
            } else if (t == QXmlStreamReader::StartElement && sheetData && isName(name, "row")) {
                const QStringView r = Xml::attribute(m_reader.attributes(), QLatin1String("r"));
                const int number = r.isEmpty() ? lastRow + 1 : r.toInt();
                lastRow = number;
                flushRowsBefore(number);
                if (m_next != m_edits.end() && m_next->first == number) {
                    rewriteRow(number, m_next->second, false);
                    ++m_next;
                } else if (m_edits.count(number)) {
                    // A row out of order whose written cells went out already: drop the old ones.
                    rewriteRow(number, m_edits.at(number), true);
                } else {
                    copyElement();
                }
            } else if (t == QXmlStreamReader::EndElement && sheetData && isName(name, "sheetData")) {
                sheetData = false;
                flushRowsBefore(CellReference::maxRows + 1);
                m_writer.writeEndElement();
            } else {
                Xml::copyToken(m_reader, m_writer);
            }
        }
        return !m_reader.hasError() && m_next == m_edits.end();
    }

private:
    QString prefix() const
    {
        return m_reader.prefix().isEmpty() ? QString() : m_reader.prefix().toString() + QLatin1Char(':');
    }

    void writeDimension()
    {
        // The used range grows to take in the written cells.
        int top = CellReference::maxRows + 1, left = CellReference::maxColumns + 1, bottom = 0, right = 0;
        const QXmlStreamAttributes a = m_reader.attributes();
        const QStringList corners = Xml::attribute(a, QLatin1String("ref")).toString().split(QLatin1Char(':'));
        for (const QString &corner : corners) {
            int r = 0, c = 0;
            if (CellReference::parse(corner, &r, &c)) {
                top = qMin(top, r), bottom = qMax(bottom, r);
                left = qMin(left, c), right = qMax(right, c);
            }
        }
        for (const auto &row : m_edits) {
            top = qMin(top, row.first), bottom = qMax(bottom, row.first);
            left = qMin(left, row.second.begin()->first), right = qMax(right, row.second.rbegin()->first);
        }
        QXmlStreamAttributes out;
        for (const QXmlStreamAttribute &attr : a) {
            if (attr.qualifiedName() != QLatin1String("ref"))
                out.append(attr);
        }
        const QString first = CellReference::format(top, left);
        const QString last = CellReference::format(bottom, right);
        out.append(QStringLiteral("ref"), first == last ? first : first + QLatin1Char(':') + last);
        Xml::writeStartElement(m_reader, m_writer, out);
    }

    void flushRowsBefore(int number)
    {
        for (; m_next != m_edits.end() && m_next->first < number; ++m_next) {
            m_writer.writeStartElement(m_prefix + QStringLiteral("row"));
            QXmlStreamAttributes a;
            a.append(QStringLiteral("r"), QString::number(m_next->first));
            addHeight(m_next->first, &a);
            m_writer.writeAttributes(a);
            for (const auto &cell : m_next->second)
                writeCell(m_next->first, cell.first, cell.second);
            m_writer.writeEndElement();
        }
    }

    void rewriteRow(int number, const RowEdits &cells, bool alreadyWritten)
    {
        QXmlStreamAttributes a;
        const bool newHeight = m_heights.count(number) > 0;
        for (const QXmlStreamAttribute &attr : m_reader.attributes()) {
            const QStringRef n = attr.qualifiedName();
            if (n != QLatin1String("spans") // a hint that may no longer hold
                && n != QLatin1String("r") // written below, so that the row's number never depends on others
                && !(newHeight && (n == QLatin1String("ht") || n == QLatin1String("customHeight"))))
                a.append(attr);
        }
        a.prepend(QXmlStreamAttribute(QStringLiteral("r"), QString::number(number)));
        addHeight(number, &a);
        Xml::writeStartElement(m_reader, m_writer, a);
        auto next = alreadyWritten ? cells.end() : cells.begin();
        int lastColumn = 0;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType t = Xml::next(m_reader);
            if (t == QXmlStreamReader::Invalid)
                return;
            if (t == QXmlStreamReader::EndElement) {
                for (; next != cells.end(); ++next)
                    writeCell(number, next->first, next->second);
                m_writer.writeEndElement();
                return;
            }
            if (t != QXmlStreamReader::StartElement || !isName(m_reader.name(), "c")) {
                if (t == QXmlStreamReader::StartElement)
                    copyElement();
                else
                    Xml::copyToken(m_reader, m_writer);
                continue;
            }
            const QStringView ref = Xml::attribute(m_reader.attributes(), QLatin1String("r"));
            int column = lastColumn + 1, r = 0;
            if (!ref.isEmpty())
                CellReference::parse(ref, &r, &column);
            lastColumn = column;
            for (; next != cells.end() && next->first < column; ++next)
                writeCell(number, next->first, next->second);
            if (next != cells.end() && next->first == column) {
                m_prefix = prefix();
                dropCell();
                writeCell(number, column, next->second);
                ++next;
            } else if (cells.count(column)) {
                dropCell(); // a cell out of order, written already
            } else if (ref.isEmpty()) {
                copyCellAt(number, column);
            } else {
                copyElement();
            }
        }
    }

    // Skips a replaced cell; a shared formula it anchored leaves its other cells as values.
    void dropCell()
    {
        int depth = 1;
        while (depth > 0 && !m_reader.atEnd()) {
            const QXmlStreamReader::TokenType t = Xml::next(m_reader);
            if (t == QXmlStreamReader::StartElement) {
                ++depth;
                const QXmlStreamAttributes a = m_reader.attributes();
                if (isName(m_reader.name(), "f") && Xml::attribute(a, QLatin1String("t")) == QLatin1String("shared")
                    && !Xml::attribute(a, QLatin1String("ref")).isEmpty())
                    m_orphanShared.insert(Xml::attribute(a, QLatin1String("si")).toString());
            } else if (t == QXmlStreamReader::EndElement) {
                --depth;
            } else if (t == QXmlStreamReader::Invalid) {
                return;
            }
        }
    }

    // Copies a cell without a reference with its reference added: written cells before it would
    // otherwise change the place it is read at.
    void copyCellAt(int row, int column)
    {
        QXmlStreamAttributes a;
        a.append(QStringLiteral("r"), CellReference::format(row, column));
        for (const QXmlStreamAttribute &attr : m_reader.attributes()) {
            if (attr.qualifiedName() != QLatin1String("r"))
                a.append(attr);
        }
        Xml::writeStartElement(m_reader, m_writer, a);
        copyContent();
    }

    // Copies the element the reader is on, with everything in it.
    void copyElement()
    {
        Xml::copyToken(m_reader, m_writer);
        copyContent();
    }

    // Copies what the element whose start tag was the last token holds, and its end.
    void copyContent()
    {
        int depth = 1;
        while (depth > 0 && !m_reader.atEnd()) {
            const QXmlStreamReader::TokenType t = Xml::next(m_reader);
            if (t == QXmlStreamReader::Invalid)
                return;
            if (t == QXmlStreamReader::StartElement && !m_orphanShared.isEmpty() && isName(m_reader.name(), "f")
                && Xml::attribute(m_reader.attributes(), QLatin1String("t")) == QLatin1String("shared")
                && m_orphanShared.contains(Xml::attribute(m_reader.attributes(), QLatin1String("si")).toString())) {
                Xml::skipElement(m_reader); // its anchor is gone: keep the cached value only
                continue;
            }
            if (t == QXmlStreamReader::StartElement)
                ++depth;
            else if (t == QXmlStreamReader::EndElement)
                --depth;
            Xml::copyToken(m_reader, m_writer);
        }
    }

    void writeCell(int row, int column, const Edit &edit)
    {
        const QString p = m_prefix;
        m_writer.writeStartElement(p + QStringLiteral("c"));
        m_writer.writeAttribute(QStringLiteral("r"), CellReference::format(row, column));
        if (edit.style > 0)
            m_writer.writeAttribute(QStringLiteral("s"), QString::number(edit.style));
        const QVariant &v = edit.value;
        if (v.userType() == QMetaType::QString) {
            const QString text = xmlSafe(v.toString());
            m_writer.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
            m_writer.writeStartElement(p + QStringLiteral("is"));
            m_writer.writeStartElement(p + QStringLiteral("t"));
            if (text != text.trimmed() || text.contains(QLatin1Char('\n')))
                m_writer.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            m_writer.writeCharacters(text);
            m_writer.writeEndElement();
            m_writer.writeEndElement();
        } else if (v.userType() == QMetaType::Bool) {
            m_writer.writeAttribute(QStringLiteral("t"), QStringLiteral("b"));
            m_writer.writeTextElement(p + QStringLiteral("v"), v.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
        } else if (v.isValid()) {
            m_writer.writeTextElement(p + QStringLiteral("v"), numberText(v.toDouble()));
        }
        m_writer.writeEndElement();
    }

    void addHeight(int row, QXmlStreamAttributes *a) const
    {
        const auto h = m_heights.find(row);
        if (h == m_heights.end())
            return;
        a->append(QStringLiteral("ht"), numberText(h->second));
        a->append(QStringLiteral("customHeight"), QStringLiteral("1"));
    }

    const std::map<int, RowEdits> &m_edits;
    const std::map<int, double> &m_heights;
    QXmlStreamReader &m_reader;
    QXmlStreamWriter &m_writer;
    std::map<int, RowEdits>::const_iterator m_next;
    QString m_prefix;
    QSet<QString> m_orphanShared;
};

bool Worksheet::write(const QByteArray &original, QByteArray *out, QString *error) const
{
    if (m_edits.empty()) {
        *out = original;
        return true;
    }
    out->clear();
    out->reserve(original.size() + original.size() / 4);
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamReader reader(original);
    QXmlStreamWriter writer(&buffer);
    Writer merge(m_edits, m_rowHeights, reader, writer);
    if (!merge.run()) {
        *error = reader.hasError() ? Xml::errorText(reader, QStringLiteral("worksheet"))
                                   : QStringLiteral("worksheet has no cell table");
        return false;
    }
    return true;
}

} // namespace QXlsx
