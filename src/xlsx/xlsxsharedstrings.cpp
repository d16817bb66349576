#include "xlsx/xlsxsharedstrings.h"

#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlscanner.h"

namespace QXlsx {

bool readStringItem(XmlScanner &xml, std::string *text)
{
    bool inText = false;
    for (int depth = 1, tokens = 0; depth > 0; ++tokens) {
        std::string_view plain; // the common single <t>text</t> of plain text, taken whole
        if (tokens == 0 && xml.takeTextElement("t", &plain)) {
            text->append(plain.data(), plain.size());
            continue;
        }
        switch (xml.next()) {
        case XmlScanner::StartElement:
            if (xml.name() == "rPh") {
                if (!xml.skipElement())
                    return false;
                break;
            }
            ++depth;
            inText = xml.name() == "t";
            break;
        case XmlScanner::EndElement:
            --depth;
            inText = false;
            break;
        case XmlScanner::Characters:
            if (inText)
                xml.appendText(text);
            break;
        default:
            return false;
        }
    }
    return true;
}

bool SharedStrings::scan(XmlScanner &xml)
{
    m_strings.clear();
    std::string text;
    for (;;) {
        switch (xml.next()) {
        case XmlScanner::StartElement:
            if (xml.name() == "si") {
                text.clear();
                if (!readStringItem(xml, &text))
                    return false;
                // An empty item is an empty text, not a missing one.
                m_strings.append(text.empty() ? QString(QLatin1String("")) : fromUtf8(text));
            }
            break;
        case XmlScanner::EndDocument:
            return true;
        case XmlScanner::Unsure:
            return false;
        default:
            break;
        }
    }
}

bool SharedStrings::parse(const QByteArray &xml, const QString &part, QString *error)
{
    WholePart whole(xml);
    return parse(whole, part, error);
}

bool SharedStrings::parse(PartStream &stream, const QString &part, QString *error)
{
    {
        XmlScanner scanner(stream);
        if (scan(scanner))
            return true;
    }
    // Beyond the plain XML the scanner reads: read by the general reader, then scanned.
    const QByteArray xml = wholePart(stream);
    QByteArray copy;
    if (!Xml::plainCopy(xml, &copy, part, error)) {
        m_strings.clear();
        return false;
    }
    XmlScanner again(copy.constData(), size_t(copy.size()));
    if (scan(again))
        return true;
    m_strings.clear();
    *error = QStringLiteral("%1: unreadable XML").arg(part);
    return false;
}

} // namespace QXlsx
