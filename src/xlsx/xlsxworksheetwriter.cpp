// Merging the written cells into the original XML of a sheet. The byte scanner finds the used
// range, the rows and the cells; every byte that does not change is copied through as it was, and
// the written cells and changed tags are generated straight into the output.
#include "xlsx/xlsxworksheet.h"

#include "xlsx/xlsxcelltext.h"
#include "xlsx/xlsxcellreference.h"
#include "xlsx/xlsxpartdeflater.h"
#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlout.h"
#include "xlsx/xlsxxmlscanner.h"

#include <QChar>

#include <string>
#include <unordered_set>

namespace QXlsx {

namespace {

// The prefix of a qualified name with its colon ("x:" of "x:row"), or nothing.
std::string_view prefixOf(std::string_view qualifiedName)
{
    const size_t colon = qualifiedName.find(':');
    return colon == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, colon + 1);
}

// An attribute as it was written, from its name to its closing quote.
std::string_view rawAttribute(const XmlScanner::Attribute &a)
{
    const char *begin = a.prefix.empty() ? a.name.data() : a.prefix.data();
    return std::string_view(begin, size_t(a.value.data() + a.value.size() + 1 - begin));
}

bool isUnprefixed(const XmlScanner::Attribute &a, std::string_view name)
{
    return !a.prefixed && a.name == name;
}

// A blank at an end of a text makes readers strip it unless the text says to keep it. Characters
// written as U+FFFD are no blanks.
bool isBlankAtEnd(QChar c)
{
    return c.isSpace() && !(c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'));
}

bool keepsBlanks(const QString &text)
{
    return !text.isEmpty() && (isBlankAtEnd(text.front()) || isBlankAtEnd(text.back()) || text.contains(QLatin1Char('\n')));
}

} // namespace

class Worksheet::Writer
{
    // Where a cell's start tag begins, whether it was taken whole (its end read with it), and
    // whether it is an empty-element tag.
    struct CellTag
    {
        const char *begin;
        bool whole;
        bool empty;
    };

public:
    enum Result { Written, Unreadable, NoCellTable };

    Writer(const std::map<int, RowEdits> &edits, const std::map<int, double> &heights, PartStream &original,
           XmlOut &out)
        : m_edits(edits), m_heights(heights), m_xml(original), m_out(out), m_copied(original.data()),
          m_next(edits.begin())
    {
    }

    Result run()
    {
        int lastRow = 0;
        bool inSheetData = false;
        bool sheetDataWasEmpty = false;
        std::string_view sheetDataName;
        for (;;) {
            switch (m_xml.next()) {
            case XmlScanner::EndDocument:
                copyUpTo(m_xml.dataEnd());
                return m_next == m_edits.end() ? Written : NoCellTable;
            case XmlScanner::Unsure:
                return Unreadable;
            case XmlScanner::Characters:
                break;
            case XmlScanner::StartElement: {
                const std::string_view name = m_xml.name();
                if (name == "dimension") {
                    writeDimension();
                } else if (name == "sheetData") {
                    inSheetData = true;
                    sheetDataName = m_xml.tagName();
                    m_newRowPrefix = prefixOf(sheetDataName);
                    sheetDataWasEmpty = m_xml.isEmptyElement();
                    if (sheetDataWasEmpty)
                        openEmptyTag();
                } else if (inSheetData && name == "row" && !row(&lastRow)) {
                    return Unreadable;
                }
                break;
            }
            case XmlScanner::EndElement:
                if (inSheetData && m_xml.name() == "sheetData") {
                    inSheetData = false;
                    copyUpTo(m_xml.tokenBegin());
                    writeRowsBefore(CellReference::maxRows + 1);
                    if (sheetDataWasEmpty)
                        writeEndTag(sheetDataName);
                }
                break;
            }
        }
    }

private:
    // Original bytes up to p go out as they were.
    void copyUpTo(const char *p)
    {
        m_out.append(m_copied, size_t(p - m_copied));
        m_copied = p;
    }
    // Original bytes up to p are left out (replaced by what was written instead).
    void skipTo(const char *p) { m_copied = p; }

    // <name .../> as <name ...>: its end tag is written where its content ends.
    void openEmptyTag()
    {
        copyUpTo(m_xml.tokenEnd() - 2);
        m_out.append('>');
        skipTo(m_xml.tokenEnd());
    }

    void writeEndTag(std::string_view qualifiedName)
    {
        m_out.append("</", 2);
        m_out.append(qualifiedName);
        m_out.append('>');
    }

    // The used range grows to take in the written cells: the ref attribute is written anew.
    void writeDimension()
    {
        int top = CellReference::maxRows + 1, left = CellReference::maxColumns + 1, bottom = 0, right = 0;
        const XmlScanner::Attribute *ref = m_xml.attribute("ref");
        std::string decoded;
        std::string_view corners = XmlScanner::value(ref, &decoded);
        while (!corners.empty()) {
            const size_t colon = corners.find(':');
            int r = 0, c = 0;
            if (CellReference::parse(corners.substr(0, colon), &r, &c)) {
                top = std::min(top, r), bottom = std::max(bottom, r);
                left = std::min(left, c), right = std::max(right, c);
            }
            corners = colon == std::string_view::npos ? std::string_view() : corners.substr(colon + 1);
        }
        for (const auto &row : m_edits) {
            top = std::min(top, row.first), bottom = std::max(bottom, row.first);
            left = std::min(left, row.second.begin()->first), right = std::max(right, row.second.rbegin()->first);
        }
        if (ref) {
            copyUpTo(ref->value.data());
            skipTo(ref->value.data() + ref->value.size());
        } else {
            copyUpTo(m_xml.tokenBegin() + 1 + m_xml.tagName().size());
            m_out.append(" ref=\"", 6);
        }
        m_out.appendCellReference(top, left);
        if (top != bottom || left != right) {
            m_out.append(':');
            m_out.appendCellReference(bottom, right);
        }
        if (!ref)
            m_out.append('"');
    }

    bool row(int *lastRow)
    {
        std::string decoded;
        const std::string_view r = XmlScanner::value(m_xml.attribute("r"), &decoded);
        const int number = r.empty() ? *lastRow + 1 : CellText::toInt(r);
        *lastRow = number;
        writeRowsBefore(number);
        if (m_next != m_edits.end() && m_next->first == number) {
            const RowEdits &cells = m_next->second;
            ++m_next;
            return rewriteRow(number, cells, false);
        }
        const auto edited = m_edits.find(number);
        if (edited != m_edits.end()) // a row out of order whose written cells went out already
            return rewriteRow(number, edited->second, true);
        return copyContent();
    }

    // New rows for the written cells of rows before number that the sheet does not have.
    void writeRowsBefore(int number)
    {
        if (m_next == m_edits.end() || m_next->first >= number)
            return;
        copyUpTo(m_xml.tokenBegin());
        for (; m_next != m_edits.end() && m_next->first < number; ++m_next) {
            openTag(m_newRowPrefix);
            m_out.append("row r=\"", 7);
            m_out.appendInt(m_next->first);
            m_out.append('"');
            writeHeight(m_next->first);
            m_out.append('>');
            for (const auto &cell : m_next->second)
                writeCell(m_newRowPrefix, m_next->first, cell.first, cell.second);
            closeTag(m_newRowPrefix);
            m_out.append("row>", 4);
        }
    }

    bool rewriteRow(int number, const RowEdits &cells, bool alreadyWritten)
    {
        const std::string_view name = m_xml.tagName();
        const std::string_view prefix = prefixOf(name);
        copyUpTo(m_xml.tokenBegin());
        m_out.append('<');
        m_out.append(name);
        // r first, so that the row's number never depends on others; spans are a hint that may no
        // longer hold.
        m_out.append(" r=\"", 4);
        m_out.appendInt(number);
        m_out.append('"');
        const bool newHeight = m_heights.count(number) > 0;
        for (const XmlScanner::Attribute &a : m_xml.attributes()) {
            if (isUnprefixed(a, "spans") || isUnprefixed(a, "r")
                || (newHeight && (isUnprefixed(a, "ht") || isUnprefixed(a, "customHeight"))))
                continue;
            m_out.append(' ');
            m_out.append(rawAttribute(a));
        }
        writeHeight(number);
        m_out.append('>');
        skipTo(m_xml.tokenEnd());

        auto next = alreadyWritten ? cells.end() : cells.begin();
        int lastColumn = 0;
        for (;;) {
            // Most cells are <c .../>, <c ...><v>text</v></c> or <c ...><is><t>text</t></is></c>:
            // taken whole.
            static const XmlScanner::TextForm forms[] = {{std::string_view(), "v"}, {"is", "t"}};
            CellTag tag{m_xml.tokenEnd(), true, false};
            int form = -1;
            std::string_view text;
            if (m_xml.takeSimpleElement("c", forms, 2, &form, &text)) {
                tag.empty = form < 0;
            } else {
                switch (m_xml.next()) {
                case XmlScanner::Characters:
                    continue;
                case XmlScanner::EndElement:
                    copyUpTo(m_xml.tokenBegin());
                    for (; next != cells.end(); ++next)
                        writeCell(prefix, number, next->first, next->second);
                    writeEndTag(name);
                    skipTo(m_xml.tokenEnd());
                    return true;
                case XmlScanner::StartElement:
                    break;
                default:
                    return false;
                }
                if (m_xml.name() != "c") {
                    if (!copyContent())
                        return false;
                    continue;
                }
                tag = CellTag{m_xml.tokenBegin(), false, m_xml.isEmptyElement()};
            }
            std::string decoded;
            const std::string_view ref = XmlScanner::value(m_xml.attribute("r"), &decoded);
            int column = lastColumn + 1, r = 0;
            if (!ref.empty())
                CellReference::parse(ref, &r, &column);
            lastColumn = column;
            if (next != cells.end() && next->first < column) {
                copyUpTo(tag.begin);
                for (; next != cells.end() && next->first < column; ++next)
                    writeCell(prefix, number, next->first, next->second);
            }
            bool ok = true;
            if (next != cells.end() && next->first == column) {
                copyUpTo(tag.begin);
                ok = dropCell(tag);
                writeCell(prefix, number, column, next->second);
                ++next;
            } else if (cells.count(column)) {
                copyUpTo(tag.begin);
                ok = dropCell(tag); // a cell out of order, written already
            } else if (ref.empty()) {
                ok = copyCellAt(number, column, tag);
            } else if (!tag.whole) {
                ok = copyContent();
            }
            if (!ok)
                return false;
        }
    }

    // Leaves out a replaced cell; a shared formula it anchored leaves its other cells as values.
    bool dropCell(const CellTag &tag)
    {
        for (int depth = tag.empty ? 0 : 1; !tag.whole;) {
            const XmlScanner::Token t = m_xml.next(); // the first is the end of an empty one
            if (t == XmlScanner::StartElement) {
                ++depth;
                if (m_xml.name() == "f" && isSharedFormula() && !m_xml.attribute("ref")->value.empty()) {
                    std::string decoded;
                    m_orphanShared.insert(std::string(XmlScanner::value(m_xml.attribute("si"), &decoded)));
                }
            } else if (t == XmlScanner::EndElement) {
                if (--depth <= 0)
                    break;
            } else if (t != XmlScanner::Characters) {
                return false;
            }
        }
        skipTo(m_xml.tokenEnd());
        return true;
    }

    // <f t="shared" ...> with a ref attribute, for dropCell.
    bool isSharedFormula() const
    {
        std::string decoded;
        return XmlScanner::value(m_xml.attribute("t"), &decoded) == "shared" && m_xml.attribute("ref");
    }

    // A cell without a reference gets one: written cells before it would otherwise change the
    // place it is read at.
    bool copyCellAt(int row, int column, const CellTag &tag)
    {
        copyUpTo(tag.begin);
        m_out.append('<');
        m_out.append(tag.whole ? std::string_view("c") : m_xml.tagName());
        m_out.append(" r=\"", 4);
        m_out.appendCellReference(row, column);
        m_out.append('"');
        const std::vector<XmlScanner::Attribute> &attributes = m_xml.attributes();
        for (const XmlScanner::Attribute &a : attributes) {
            if (!isUnprefixed(a, "r")) {
                m_out.append(' ');
                m_out.append(rawAttribute(a));
            }
        }
        const char *tagEnd = m_xml.tokenEnd();
        bool empty = tag.empty;
        if (tag.whole) {
            // Taken whole: the start tag ends at the first '>' after its last attribute.
            const std::string_view last = attributes.empty() ? std::string_view(tag.begin, 2) : rawAttribute(attributes.back());
            const char *p = last.data() + last.size();
            while (*p != '>')
                ++p;
            tagEnd = p + 1;
            empty = p[-1] == '/';
        }
        m_out.append(empty ? "/>" : ">");
        skipTo(tagEnd);
        return tag.whole || copyContent();
    }

    // Copies the element whose start tag was the last token, to its end, leaving out the shared
    // formulas whose anchor is gone (their cells keep the cached value).
    bool copyContent()
    {
        if (m_orphanShared.empty() && !m_xml.isEmptyElement())
            return m_xml.skipElement();
        for (int depth = 1; depth > 0;) {
            switch (m_xml.next()) {
            case XmlScanner::StartElement:
                if (isOrphanFormula()) {
                    copyUpTo(m_xml.tokenBegin());
                    if (!m_xml.skipElement())
                        return false;
                    skipTo(m_xml.tokenEnd());
                } else {
                    ++depth;
                }
                break;
            case XmlScanner::EndElement:
                --depth;
                break;
            case XmlScanner::Characters:
                break;
            default:
                return false;
            }
        }
        return true;
    }

    bool isOrphanFormula() const
    {
        if (m_orphanShared.empty() || m_xml.name() != "f")
            return false;
        std::string decoded;
        if (XmlScanner::value(m_xml.attribute("t"), &decoded) != "shared")
            return false;
        return m_orphanShared.count(std::string(XmlScanner::value(m_xml.attribute("si"), &decoded))) > 0;
    }

    // "<x:" or "</x:" before a local name: new elements take the prefix of the one they go in.
    void openTag(std::string_view prefix)
    {
        m_out.append('<');
        m_out.append(prefix);
    }
    void closeTag(std::string_view prefix)
    {
        m_out.append("</", 2);
        m_out.append(prefix);
    }

    void writeCell(std::string_view prefix, int row, int column, const Edit &edit)
    {
        openTag(prefix);
        m_out.append("c r=\"", 5);
        m_out.appendCellReference(row, column);
        m_out.append('"');
        if (edit.style > 0) {
            m_out.append(" s=\"", 4);
            m_out.appendInt(edit.style);
            m_out.append('"');
        }
        const QVariant &v = edit.value;
        switch (v.userType()) {
        case QMetaType::UnknownType:
            m_out.append("/>", 2);
            return;
        case QMetaType::QString: {
            const QString &text = *static_cast<const QString *>(v.constData());
            m_out.append(" t=\"inlineStr\">", 15);
            openTag(prefix);
            m_out.append("is>", 3);
            openTag(prefix);
            m_out.append(keepsBlanks(text) ? std::string_view("t xml:space=\"preserve\">") : std::string_view("t>"));
            m_out.appendText(text);
            closeTag(prefix);
            m_out.append("t>", 2);
            closeTag(prefix);
            m_out.append("is>", 3);
            break;
        }
        case QMetaType::Bool:
            m_out.append(" t=\"b\">", 7);
            openTag(prefix);
            m_out.append(v.toBool() ? "v>1" : "v>0", 3);
            closeTag(prefix);
            m_out.append("v>", 2);
            break;
        default:
            m_out.append('>');
            openTag(prefix);
            m_out.append("v>", 2);
            m_out.appendNumber(v.userType() == QMetaType::Double ? *static_cast<const double *>(v.constData())
                                                                 : v.toDouble());
            closeTag(prefix);
            m_out.append("v>", 2);
            break;
        }
        closeTag(prefix);
        m_out.append("c>", 2);
    }

    void writeHeight(int row)
    {
        const auto h = m_heights.find(row);
        if (h == m_heights.end())
            return;
        m_out.append(" ht=\"", 5);
        m_out.appendNumber(h->second);
        m_out.append("\" customHeight=\"1\"", 18);
    }

    const std::map<int, RowEdits> &m_edits;
    const std::map<int, double> &m_heights;
    XmlScanner m_xml;
    XmlOut &m_out;
    const char *m_copied; // the original bytes before it have gone out
    std::map<int, RowEdits>::const_iterator m_next;
    std::string_view m_newRowPrefix;
    std::unordered_set<std::string> m_orphanShared;
};

bool Worksheet::write(PartStream &original, const std::function<ByteSink *()> &freshSink, QString *error) const
{
    XmlOut out(*freshSink());
    if (m_edits.empty()) {
        const QByteArray whole = wholePart(original);
        out.append(whole.constData(), size_t(whole.size()));
        out.finish();
        return true;
    }
    Writer::Result result = Writer(m_edits, m_rowHeights, original, out).run();
    if (result == Writer::Unreadable) {
        // Beyond the plain XML the scanner reads: rewritten by the general reader first, then
        // merged into afresh.
        QByteArray copy;
        if (!Xml::rewrittenCopy(wholePart(original), &copy, QStringLiteral("worksheet"), error))
            return false;
        XmlOut again(*freshSink());
        WholePart rewritten(copy);
        result = Writer(m_edits, m_rowHeights, rewritten, again).run();
        again.finish();
    } else {
        out.finish();
    }
    if (result == Writer::Unreadable)
        *error = QStringLiteral("worksheet: unreadable XML");
    else if (result == Writer::NoCellTable)
        *error = QStringLiteral("worksheet has no cell table");
    return result == Writer::Written;
}

bool Worksheet::write(const QByteArray &original, QByteArray *out, QString *error) const
{
    std::unique_ptr<CollectingSink> sink;
    WholePart whole(original);
    const bool written = write(whole, [&sink] {
        sink = std::make_unique<CollectingSink>();
        return sink.get();
    }, error);
    *out = QByteArray(sink->bytes.data(), int(sink->bytes.size()));
    return written;
}

bool Worksheet::write(PartStream &original, DeflatedPart *part, QString *error) const
{
    std::unique_ptr<PartDeflater> deflater;
    return write(original, [&deflater] {
        deflater.reset(); // the one before, if any, is done with
        deflater = std::make_unique<PartDeflater>();
        return deflater.get();
    }, error) && deflater->finish(part, error);
}

} // namespace QXlsx
