#pragma once
// The reader of worksheets and shared strings that the byte scanner replaced, kept as the
// reference of the differential fuzz target and of the test that replays its corpus: the same
// code over QXmlStreamReader, reading into plain structures. Not part of the program.
// The same check also reads each input as it arrives in small pieces, as from a part being
// inflated, and compares that with reading it whole.

#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxcelltext.h"
#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxsharedstrings.h"
#include "xlsx/xlsxworksheet.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlscanner.h"

#include <QBuffer>
#include <QHash>
#include <QLocale>
#include <QVariant>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace QXlsx {
namespace Reference {

struct ReferenceStrings
{
    bool parse(QIODevice *xml, const QString &part, QString *error);
    QString at(int index) const { return index >= 0 && index < m_strings.size() ? m_strings[index] : QString(); }
    QVector<QString> m_strings;
};

struct ReferenceSheet
{
    struct Cell
    {
        int column = 0;
        int style = 0;
        bool formula = false;
        QVariant value;
    };
    struct Row
    {
        int row = 0;
        std::vector<Cell> cells;
    };
    struct ColumnStyle
    {
        int first, last, style;
    };
    bool load(QIODevice *xml, const ReferenceStrings &strings, const QString &part, QString *error);
    void normalize(bool rowsSorted);
    QString describe() const;

    std::vector<Row> m_rows;
    std::vector<ColumnStyle> m_columnStyles;
    QHash<int, int> m_rowStyles;
};

inline bool isName(const QStringRef &name, const char *what)
{
    return name == QLatin1String(what);
}

// A cell's number as the program reads it: the number rule is not what this reference checks.
using CellText::toNumber;

enum class CellType { Number, Shared, Boolean, Text };

// The value types of the t attribute; "str" (a formula's text), "inlineStr", "e" (an error) and
// "d" (an ISO date) are read as the text they hold.
inline CellType cellType(QStringView t)
{
    if (t.isEmpty() || t == QLatin1String("n"))
        return CellType::Number;
    if (t == QLatin1String("s"))
        return CellType::Shared;
    if (t == QLatin1String("b"))
        return CellType::Boolean;
    return CellType::Text;
}

// The value of a number, shared string or boolean cell from the text of its v element.
inline QVariant cellValue(CellType type, QStringView text, const ReferenceStrings &strings)
{
    bool ok = false;
    switch (type) {
    case CellType::Number: {
        const double d = toNumber(text, &ok);
        return ok ? QVariant(d) : QVariant();
    }
    case CellType::Shared: {
        const int index = text.trimmed().toInt(&ok);
        const QString s = ok ? strings.at(index) : QString();
        return s.isNull() ? QVariant() : QVariant(s);
    }
    case CellType::Boolean: {
        const QStringView t = text.trimmed();
        return QVariant(t == QLatin1String("1") || t == QLatin1String("true"));
    }
    case CellType::Text:
        break;
    }
    return QVariant(text.toString());
}

inline QString referenceStringItem(QXmlStreamReader &reader)
{
    QString text = QLatin1String(""); // an empty item is an empty text, not a missing one
    int depth = 1;
    bool inText = false;
    while (depth > 0) {
        switch (Xml::next(reader)) {
        case QXmlStreamReader::StartElement:
            if (reader.name() == QLatin1String("rPh")) {
                Xml::skipElement(reader);
                break;
            }
            ++depth;
            inText = reader.name() == QLatin1String("t");
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            inText = false;
            break;
        case QXmlStreamReader::Characters:
            if (inText) {
                // A deep copy: toString() of a token covering the reader's whole text buffer shares
                // that buffer, and each string kept would then hold a buffer-sized block.
                const QStringRef piece = reader.text();
                if (text.isEmpty())
                    text = QString(piece.unicode(), piece.size());
                else
                    text += piece;
            }
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return text;
        default:
            break;
        }
    }
    return text;
}

inline bool ReferenceStrings::parse(QIODevice *xml, const QString &part, QString *error)
{
    m_strings.clear();
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (Xml::next(reader) == QXmlStreamReader::StartElement && reader.name() == QLatin1String("si"))
            m_strings.append(referenceStringItem(reader));
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        return false;
    }
    return true;
}

inline bool ReferenceSheet::load(QIODevice *xml, const ReferenceStrings &strings, const QString &part, QString *error)
{
    m_rows.clear();
    m_columnStyles.clear();
    m_rowStyles.clear();

    // Fed through a device, the reader decodes the part a chunk at a time instead of holding
    // all of it as UTF-16 at once (twice the size of the XML).
    QXmlStreamReader reader(xml);
    bool inSheetData = false;
    bool inRow = false;
    bool rowsSorted = true;
    int rowNumber = 0;
    int lastColumn = 0;
    QString badReference;
    QString text;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType t = Xml::next(reader);
        if (t == QXmlStreamReader::EndElement) {
            const QStringRef name = reader.name();
            if (isName(name, "row"))
                inRow = false;
            else if (isName(name, "sheetData"))
                inSheetData = false;
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = reader.name();
        if (inRow && isName(name, "c")) {
            // One pass over the attributes (this runs for every cell), and the copy of them let go
            // before the reader moves on, so that it never has to copy its own.
            Cell cell;
            CellType type = CellType::Number;
            int column = lastColumn + 1;
            {
                const QXmlStreamAttributes a = reader.attributes();
                for (const QXmlStreamAttribute &attr : a) {
                    const QStringRef n = attr.name();
                    if (n.size() != 1 || !attr.namespaceUri().isEmpty())
                        continue;
                    if (n.at(0) == QLatin1Char('r')) {
                        int r = 0;
                        if (!CellReference::parse(attr.value(), &r, &column)) {
                            badReference = attr.value().toString();
                            break;
                        }
                    } else if (n.at(0) == QLatin1Char('t')) {
                        type = cellType(attr.value());
                    } else if (n.at(0) == QLatin1Char('s')) {
                        cell.style = attr.value().toInt();
                    }
                }
            }
            if (!badReference.isEmpty())
                break;
            if (column > CellReference::maxColumns) {
                badReference = CellReference::format(rowNumber, column);
                break;
            }
            cell.column = column;
            text.resize(0); // keeps the buffer of the previous number (a text hands its buffer over)
            bool hasText = false;
            while (!reader.atEnd()) {
                const QXmlStreamReader::TokenType ct = Xml::next(reader);
                if (ct == QXmlStreamReader::EndElement)
                    break; // end of the cell
                if (ct != QXmlStreamReader::StartElement)
                    continue;
                const QStringRef child = reader.name();
                if (isName(child, "v")) {
                    // The value's text, usually one piece; pieces split by references are joined.
                    for (bool inValue = true; inValue;) {
                        switch (Xml::next(reader)) {
                        case QXmlStreamReader::Characters: text += reader.text(); break;
                        case QXmlStreamReader::StartElement: Xml::skipElement(reader); break;
                        case QXmlStreamReader::Comment:
                        case QXmlStreamReader::ProcessingInstruction: break;
                        default: inValue = false; break;
                        }
                    }
                    hasText = true;
                } else if (isName(child, "is")) {
                    type = CellType::Text; // an inline string, whatever the type said
                    text = referenceStringItem(reader);
                    hasText = true;
                } else {
                    if (isName(child, "f"))
                        cell.formula = true;
                    Xml::skipElement(reader);
                }
            }
            if (hasText && type == CellType::Text)
                cell.value = QVariant(std::exchange(text, QString()));
            else if (hasText)
                cell.value = cellValue(type, text, strings);
            if (cell.style != 0 || cell.formula || cell.value.isValid()) {
                Row &row = m_rows.back();
                if (!row.cells.empty() && row.cells.back().column >= column)
                    rowsSorted = false;
                row.cells.push_back(std::move(cell));
            }
            lastColumn = column;
        } else if (inSheetData && isName(name, "row")) {
            const QXmlStreamAttributes a = reader.attributes();
            const QStringView r = Xml::attribute(a, QLatin1String("r"));
            const int number = r.isEmpty() ? rowNumber + 1 : r.toInt();
            if (number < 1 || number > CellReference::maxRows) {
                badReference = QStringLiteral("row ") + (r.isEmpty() ? QString::number(number) : r.toString());
                break;
            }
            if (number <= rowNumber)
                rowsSorted = false;
            rowNumber = number;
            lastColumn = 0;
            inRow = true;
            if (Xml::attribute(a, QLatin1String("customFormat")) == QLatin1String("1"))
                m_rowStyles.insert(number, Xml::attribute(a, QLatin1String("s")).toInt());
            if (!m_rows.empty() && m_rows.back().cells.empty()) {
                m_rows.back().row = number; // reuse the slot of a row without cells
            } else {
                // Rows of a table mostly hold as many cells as the one before.
                const size_t expected = m_rows.empty() ? 0 : m_rows.back().cells.size();
                m_rows.push_back(Row{number, {}});
                m_rows.back().cells.reserve(expected);
            }
        } else if (isName(name, "sheetData")) {
            inSheetData = true;
        } else if (isName(name, "col")) {
            const QXmlStreamAttributes a = reader.attributes();
            const int style = Xml::attribute(a, QLatin1String("style")).toInt();
            if (style > 0)
                m_columnStyles.push_back({Xml::attribute(a, QLatin1String("min")).toInt(),
                                          Xml::attribute(a, QLatin1String("max")).toInt(), style});
        }
    }
    if (!badReference.isEmpty()) {
        *error = QStringLiteral("%1: cell reference outside the sheet: %2").arg(part, badReference.left(40));
        m_rows.clear();
        return false;
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        m_rows.clear();
        return false;
    }
    if (!m_rows.empty() && m_rows.back().cells.empty())
        m_rows.pop_back();
    normalize(rowsSorted);
    return true;
}

inline void ReferenceSheet::normalize(bool rowsSorted)
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

// The same text as Worksheet::describe().
inline QString ReferenceSheet::describe() const
{
    QString out;
    for (const Row &row : m_rows) {
        out += QStringLiteral("row %1:").arg(row.row);
        for (const Cell &c : row.cells)
            out += QStringLiteral(" %1/%2%3=%4:%5").arg(c.column).arg(c.style).arg(c.formula ? "f" : "")
                       .arg(QLatin1String(c.value.typeName())).arg(c.value.userType() == QMetaType::Double
                           ? QString::number(c.value.toDouble(), 'g', 17) : c.value.toString());
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

} // namespace Reference

// Bytes as the XML of a worksheet and (after a line "--") of the shared string table, read by
// both readers: true when they agree (the same strings and cells, or both refuse); else false
// with the difference.
// Bytes that come in pieces of 1 to 61 bytes, sizes drawn from the bytes and a seed.
class PiecewisePart : public PartStream
{
public:
    PiecewisePart(const QByteArray &bytes, uint32_t seed) : m_bytes(bytes), m_seed(uint32_t(qHash(bytes, seed))) {}
    const char *data() const override { return m_bytes.constData(); }
    size_t waitFor(size_t want, bool *complete) override
    {
        const size_t size = size_t(m_bytes.size());
        while (m_there < want && m_there < size) {
            m_seed = m_seed * 1103515245u + 12345u;
            m_there = std::min(size, m_there + 1 + (m_seed >> 16) % 61);
        }
        *complete = m_there == size;
        return m_there;
    }

private:
    const QByteArray &m_bytes;
    uint32_t m_seed;
    size_t m_there = 0;
};

// Every token the scanner gives, to its end or refusal.
inline std::string scannedTokens(XmlScanner &&xml)
{
    std::string out, buffer;
    for (int tokens = 0; tokens < 1000000; ++tokens) {
        const XmlScanner::Token t = xml.next();
        out += char('0' + t);
        if (t == XmlScanner::EndDocument || t == XmlScanner::Unsure)
            break;
        if (t == XmlScanner::Characters)
            xml.appendText(&out);
        else
            out.append(xml.name());
        if (t == XmlScanner::StartElement) {
            for (const XmlScanner::Attribute &a : xml.attributes())
                out.append(" ").append(a.prefix).append(":").append(a.name).append("=").append(XmlScanner::value(&a, &buffer));
        }
        out += '\n';
    }
    return out;
}

// A sheet and its shared strings read whole and in pieces give the same tokens, and the same
// cells or refusals.
inline bool piecewiseReadingAgrees(const QByteArray &sheetXml, const QByteArray *stringsXml, QString *difference)
{
    for (const QByteArray *xml : {&sheetXml, stringsXml}) {
        if (!xml)
            continue;
        const std::string whole = scannedTokens(XmlScanner(xml->constData(), size_t(xml->size())));
        for (uint32_t seed = 0; seed < 8; ++seed) {
            PiecewisePart piecewise(*xml, seed);
            if (scannedTokens(XmlScanner(piecewise)) != whole) {
                *difference = QStringLiteral("tokens in pieces (seed %1) differ").arg(seed);
                return false;
            }
        }
    }
    QString error;
    SharedStrings strings, piecewiseStrings;
    if (stringsXml) {
        PiecewisePart piecewise(*stringsXml, 0);
        const bool ok = strings.parse(*stringsXml, QStringLiteral("part"), &error);
        if (ok != piecewiseStrings.parse(piecewise, QStringLiteral("part"), &error)) {
            *difference = QStringLiteral("shared strings in pieces: whole %1").arg(ok);
            return false;
        }
        for (int i = 0; i < strings.size() || i < piecewiseStrings.size(); ++i) {
            if (strings.at(i) != piecewiseStrings.at(i) || strings.at(i).isNull() != piecewiseStrings.at(i).isNull()) {
                *difference = QStringLiteral("shared string %1 in pieces: [%2] against [%3]").arg(i).arg(piecewiseStrings.at(i), strings.at(i));
                return false;
            }
        }
    }
    Worksheet sheet, piecewiseSheet;
    PiecewisePart piecewise(sheetXml, 0);
    const bool ok = sheet.load(sheetXml, strings, QStringLiteral("part"), &error);
    QString piecewiseError;
    if (ok != piecewiseSheet.load(piecewise, strings, QStringLiteral("part"), &piecewiseError)
        || (!ok && error != piecewiseError) || sheet.describe() != piecewiseSheet.describe()) {
        *difference = QStringLiteral("sheet in pieces: whole %1 (%2), in pieces (%3):\n%4\nagainst\n%5")
                          .arg(ok).arg(error, piecewiseError, piecewiseSheet.describe(), sheet.describe());
        return false;
    }
    return true;
}

inline bool xlsxReadersAgree(const uint8_t *data, size_t size, QString *difference)
{
    using namespace Reference;
    const QByteArray input(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, 1 << 24)));
    const int split = input.indexOf("\n--\n");
    const QByteArray sheetXml = split < 0 ? input : input.left(split);
    const QByteArray stringsXml = split < 0 ? QByteArray() : input.mid(split + 4);
    const QString part = QStringLiteral("part");
    QString error;
    if (!piecewiseReadingAgrees(sheetXml, split < 0 ? nullptr : &stringsXml, difference))
        return false;

    SharedStrings strings;
    ReferenceStrings referenceStrings;
    if (split >= 0) {
        QBuffer device(const_cast<QByteArray *>(&stringsXml));
        device.open(QIODevice::ReadOnly);
        const bool ok = strings.parse(stringsXml, part, &error);
        const bool referenceOk = referenceStrings.parse(&device, part, &error);
        if (ok != referenceOk) {
            *difference = QStringLiteral("shared strings: scanner %1, reference %2").arg(ok).arg(referenceOk);
            return false;
        }
        if (!ok)
            return true;
        if (strings.size() != referenceStrings.m_strings.size()) {
            *difference = QStringLiteral("shared strings: %1 against %2").arg(strings.size()).arg(referenceStrings.m_strings.size());
            return false;
        }
        for (int i = 0; i < strings.size(); ++i) {
            if (strings.at(i) != referenceStrings.at(i) || strings.at(i).isNull() != referenceStrings.at(i).isNull()) {
                *difference = QStringLiteral("shared string %1: [%2] against [%3]").arg(i).arg(strings.at(i), referenceStrings.at(i));
                return false;
            }
        }
    }
    Worksheet sheet;
    ReferenceSheet referenceSheet;
    QBuffer device(const_cast<QByteArray *>(&sheetXml));
    device.open(QIODevice::ReadOnly);
    const bool ok = sheet.load(sheetXml, strings, part, &error);
    const bool referenceOk = referenceSheet.load(&device, referenceStrings, part, &error);
    if (ok != referenceOk) {
        *difference = QStringLiteral("sheet: scanner %1, reference %2 (%3)").arg(ok).arg(referenceOk).arg(error);
        return false;
    }
    if (ok && sheet.describe() != referenceSheet.describe()) {
        *difference = QStringLiteral("sheet cells:\n%1\nagainst\n%2").arg(sheet.describe(), referenceSheet.describe());
        return false;
    }
    return true;
}

} // namespace QXlsx
