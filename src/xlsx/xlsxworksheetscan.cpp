// Reading a worksheet part with the byte scanner: rows, cells and column styles, one named step
// per element, into the worksheet's storage.
#include "xlsx/xlsxworksheet.h"

#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxcelltext.h"
#include "xlsx/xlsxsharedstrings.h"
#include "xlsx/xlsxxmlscanner.h"

#include <string>

namespace QXlsx {

using CellText::toInt;

namespace {

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

} // namespace

class Worksheet::Scan
{
public:
    Scan(Worksheet &sheet, XmlScanner &xml, const SharedStrings &strings, QString *badReference)
        : m_sheet(sheet), m_xml(xml), m_strings(strings), m_recentTexts(sheet.m_texts), m_badReference(badReference)
    {
    }

    LoadResult run();
    bool rowsSorted() const { return m_rowsSorted; }

private:
    LoadResult startElement();
    LoadResult startRow();
    void readColumnStyle();
    LoadResult readCellAttributes(Cell *cell, CellType *type, int *column);
    LoadResult readWholeCell(int form, std::string_view text);
    LoadResult readCell();
    bool readValue();
    void storeCell(Cell &cell, CellType type, int column, bool hasText, std::string_view text);
    LoadResult refuse(const QString &reference);

    Worksheet &m_sheet;
    XmlScanner &m_xml;
    const SharedStrings &m_strings;
    RecentTexts m_recentTexts;
    QString *m_badReference;
    bool m_inSheetData = false;
    bool m_inRow = false;
    bool m_rowsSorted = true;
    int m_rowNumber = 0;
    int m_lastColumn = 0;
    std::string m_text;  // a cell's text pieces, joined
    std::string m_value; // an attribute's value, decoded
};

Worksheet::LoadResult Worksheet::Scan::run()
{
    // Most cells are <c .../>, <c ...><v>text</v></c> or <c ...><is><t>text</t></is></c>: taken whole.
    static const XmlScanner::TextForm cellForms[] = {{std::string_view(), "v"}, {"is", "t"}};
    for (;;) {
        int form = -1;
        std::string_view wholeText;
        if (m_inRow && m_xml.takeSimpleElement("c", cellForms, 2, &form, &wholeText)) {
            const LoadResult result = readWholeCell(form, wholeText);
            if (result != Loaded)
                return result;
            continue;
        }
        switch (m_xml.next()) {
        case XmlScanner::EndDocument:
            return Loaded;
        case XmlScanner::Unsure:
            return Unreadable;
        case XmlScanner::EndElement:
            if (m_xml.name() == "row")
                m_inRow = false;
            else if (m_xml.name() == "sheetData")
                m_inSheetData = false;
            break;
        case XmlScanner::StartElement: {
            const LoadResult result = startElement();
            if (result != Loaded)
                return result;
            break;
        }
        case XmlScanner::Characters:
            break;
        }
    }
}

Worksheet::LoadResult Worksheet::Scan::startElement()
{
    const std::string_view name = m_xml.name();
    if (m_inRow && name == "c")
        return readCell();
    if (m_inSheetData && name == "row")
        return startRow();
    if (name == "sheetData")
        m_inSheetData = true;
    else if (name == "col")
        readColumnStyle();
    return Loaded;
}

Worksheet::LoadResult Worksheet::Scan::refuse(const QString &reference)
{
    *m_badReference = reference;
    return BadReference;
}

Worksheet::LoadResult Worksheet::Scan::startRow()
{
    const std::string_view r = XmlScanner::value(m_xml.attribute("r"), &m_value);
    const int number = r.empty() ? m_rowNumber + 1 : toInt(r);
    if (number < 1 || number > CellReference::maxRows)
        return refuse(QStringLiteral("row ") + (r.empty() ? QString::number(number) : fromUtf8(r)));
    if (number <= m_rowNumber)
        m_rowsSorted = false;
    m_rowNumber = number;
    m_lastColumn = 0;
    m_inRow = true;
    if (XmlScanner::value(m_xml.attribute("customFormat"), &m_value) == "1")
        m_sheet.m_rowStyles.insert(number, toInt(XmlScanner::value(m_xml.attribute("s"), &m_value)));
    std::vector<Row> &rows = m_sheet.m_rows;
    if (!rows.empty() && rows.back().cells.empty()) {
        rows.back().row = number; // reuse the slot of a row without cells
    } else {
        // Rows of a table mostly hold as many cells as the one before.
        const size_t expected = rows.empty() ? 0 : rows.back().cells.size();
        rows.push_back(Row{number, {}});
        rows.back().cells.reserve(expected);
    }
    return Loaded;
}

void Worksheet::Scan::readColumnStyle()
{
    const int style = toInt(XmlScanner::value(m_xml.attribute("style"), &m_value));
    if (style > 0)
        m_sheet.m_columnStyles.push_back({toInt(XmlScanner::value(m_xml.attribute("min"), &m_value)),
                                          toInt(XmlScanner::value(m_xml.attribute("max"), &m_value)), style});
}

// The reference, type and style of the cell whose attributes the scanner holds; a cell without a
// reference follows the one before it.
Worksheet::LoadResult Worksheet::Scan::readCellAttributes(Cell *cell, CellType *type, int *column)
{
    *type = CellType::Number;
    *column = m_lastColumn + 1;
    for (const XmlScanner::Attribute &a : m_xml.attributes()) {
        if (a.name.size() != 1 || a.prefixed)
            continue;
        const std::string_view v = XmlScanner::value(&a, &m_value);
        if (a.name[0] == 'r') {
            int row = 0;
            if (v.empty())
                break; // read as no reference; the attributes after it are not read
            if (!CellReference::parse(v, &row, column))
                return refuse(fromUtf8(v));
        } else if (a.name[0] == 't') {
            *type = cellType(v);
        } else if (a.name[0] == 's') {
            cell->style = toInt(v);
        }
    }
    if (*column > CellReference::maxColumns)
        return refuse(CellReference::format(m_rowNumber, *column));
    cell->column = quint16(*column);
    return Loaded;
}

// A cell taken whole in the given form (-1: empty, 1: an inline string).
Worksheet::LoadResult Worksheet::Scan::readWholeCell(int form, std::string_view text)
{
    Cell cell;
    CellType type = CellType::Number;
    int column = 0;
    const LoadResult result = readCellAttributes(&cell, &type, &column);
    if (result != Loaded)
        return result;
    if (form == 1)
        type = CellType::Text; // an inline string, whatever the type said
    storeCell(cell, type, column, form >= 0, text);
    return Loaded;
}

// A cell whose start tag was the last token, read to its end.
Worksheet::LoadResult Worksheet::Scan::readCell()
{
    Cell cell;
    CellType type = CellType::Number;
    int column = 0;
    const LoadResult result = readCellAttributes(&cell, &type, &column);
    if (result != Loaded)
        return result;
    m_text.clear();
    // The common <v>digits</v> as the first child is taken whole; its text is used where it
    // stands unless more text follows.
    std::string_view firstValue;
    bool inFirstValue = m_xml.takeTextElement("v", &firstValue);
    bool hasText = inFirstValue;
    for (;;) {
        const XmlScanner::Token t = m_xml.next();
        if (t == XmlScanner::Unsure)
            return Unreadable;
        if (t == XmlScanner::EndElement || t == XmlScanner::EndDocument)
            break; // end of the cell
        if (t != XmlScanner::StartElement)
            continue;
        const std::string_view child = m_xml.name();
        if (child == "v") {
            if (inFirstValue) {
                m_text.assign(firstValue.data(), firstValue.size());
                inFirstValue = false;
            }
            if (!readValue())
                return Unreadable;
            hasText = true;
        } else if (child == "is") {
            type = CellType::Text; // an inline string, whatever the type said
            m_text.clear();
            inFirstValue = false;
            if (!readStringItem(m_xml, &m_text))
                return Unreadable;
            hasText = true;
        } else {
            if (child == "f")
                cell.formula = true;
            if (!m_xml.skipElement())
                return Unreadable;
        }
    }
    storeCell(cell, type, column, hasText, inFirstValue ? firstValue : std::string_view(m_text));
    return Loaded;
}

// The text of a v element appended to m_text; pieces split by comments or CDATA are joined.
bool Worksheet::Scan::readValue()
{
    for (;;) {
        switch (m_xml.next()) {
        case XmlScanner::Characters:
            m_xml.appendText(&m_text);
            break;
        case XmlScanner::StartElement:
            if (!m_xml.skipElement())
                return false;
            break;
        case XmlScanner::Unsure:
            return false;
        default:
            return true;
        }
    }
}

// A cell's value from its text, and the cell kept when it has a value, a style or a formula.
void Worksheet::Scan::storeCell(Cell &cell, CellType type, int column, bool hasText, std::string_view text)
{
    if (hasText) {
        switch (type) {
        case CellType::Number: {
            bool ok = false;
            cell.number = CellText::toNumber(text, &ok);
            cell.kind = ok ? Cell::Number : Cell::Empty;
            break;
        }
        case CellType::Shared: {
            const QString shared = m_strings.at(CellText::sharedIndex(text));
            if (!shared.isNull()) {
                cell.kind = Cell::Text;
                cell.text = m_recentTexts.add(shared);
            }
            break;
        }
        case CellType::Boolean: {
            const QString t = fromUtf8(text).trimmed();
            cell.kind = Cell::Boolean;
            cell.boolean = t == QLatin1String("1") || t == QLatin1String("true");
            break;
        }
        case CellType::Text:
            cell.kind = Cell::Text;
            cell.text = m_recentTexts.get(text);
            break;
        }
    }
    if (cell.style != 0 || cell.formula || cell.kind != Cell::Empty) {
        Row &row = m_sheet.m_rows.back();
        if (!row.cells.empty() && row.cells.back().column >= column)
            m_rowsSorted = false;
        row.cells.push_back(cell);
    }
    m_lastColumn = column;
}

Worksheet::LoadResult Worksheet::scan(XmlScanner &xml, const SharedStrings &strings, QString *badReference)
{
    m_rows.clear();
    m_texts.clear();
    m_columnStyles.clear();
    m_rowStyles.clear();
    m_edits.clear();
    Scan scan(*this, xml, strings, badReference);
    const LoadResult result = scan.run();
    if (result != Loaded)
        return result;
    if (!m_rows.empty() && m_rows.back().cells.empty())
        m_rows.pop_back();
    normalize(scan.rowsSorted());
    return Loaded;
}

} // namespace QXlsx
