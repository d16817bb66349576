#pragma once
// The worksheet writer that the byte writer replaced, kept as the reference of the differential
// fuzz target and of the test that writes with both: the same merge over QXmlStreamReader and
// QXmlStreamWriter, on edits held in plain structures. Not part of the program.

#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxworksheet.h"
#include "xlsx/xlsxxml.h"

#include <QBuffer>
#include <QSet>
#include <QVariant>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <map>

namespace QXlsx {
namespace Reference {

struct Edit
{
    QVariant value; // QString, double, bool, or invalid (cleared)
    int style = 0;
};
using RowEdits = std::map<int, Edit>;

// What a sheet was given: cells by row and column, row heights in points.
struct SheetEdits
{
    std::map<int, RowEdits> cells;
    std::map<int, double> heights;
};

inline bool isWriterName(const QStringRef &name, const char *what)
{
    return name == QLatin1String(what);
}


// Characters XML 1.0 cannot hold (control characters, unpaired surrogates) would make the part
// unreadable to every program; they are replaced by U+FFFD.
inline QString xmlSafe(QString text)
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

// Streams the original sheet to the output, replacing written cells and adding new ones in order.
class ReferenceWriter
{
public:
    ReferenceWriter(const std::map<int, RowEdits> &edits, const std::map<int, double> &heights, QXmlStreamReader &reader,
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
            if (t == QXmlStreamReader::StartElement && isWriterName(name, "dimension")) {
                writeDimension();
            } else if (t == QXmlStreamReader::StartElement && isWriterName(name, "sheetData")) {
                sheetData = true;
                m_prefix = prefix();
                Xml::copyToken(m_reader, m_writer);
            } else if (t == QXmlStreamReader::StartElement && sheetData && isWriterName(name, "row")) {
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
            } else if (t == QXmlStreamReader::EndElement && sheetData && isWriterName(name, "sheetData")) {
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
            if (t != QXmlStreamReader::StartElement || !isWriterName(m_reader.name(), "c")) {
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
                if (isWriterName(m_reader.name(), "f") && Xml::attribute(a, QLatin1String("t")) == QLatin1String("shared")
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
            if (t == QXmlStreamReader::StartElement && !m_orphanShared.isEmpty() && isWriterName(m_reader.name(), "f")
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
            m_writer.writeTextElement(p + QStringLiteral("v"), Worksheet::numberText(v.toDouble()));
        }
        m_writer.writeEndElement();
    }

    void addHeight(int row, QXmlStreamAttributes *a) const
    {
        const auto h = m_heights.find(row);
        if (h == m_heights.end())
            return;
        a->append(QStringLiteral("ht"), Worksheet::numberText(h->second));
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

inline bool referenceWrite(const QByteArray &original, const SheetEdits &edits, QByteArray *out, QString *error)
{
    if (edits.cells.empty()) {
        *out = original;
        return true;
    }
    out->clear();
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamReader reader(original);
    QXmlStreamWriter writer(&buffer);
    ReferenceWriter merge(edits.cells, edits.heights, reader, writer);
    if (!merge.run()) {
        *error = reader.hasError() ? Xml::errorText(reader, QStringLiteral("worksheet"))
                                   : QStringLiteral("worksheet has no cell table");
        return false;
    }
    return true;
}

} // namespace Reference
} // namespace QXlsx
