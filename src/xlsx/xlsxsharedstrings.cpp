#include "xlsx/xlsxsharedstrings.h"

#include "xlsx/xlsxxml.h"

namespace QXlsx {

QString readStringItem(QXmlStreamReader &reader)
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

bool SharedStrings::parse(QIODevice *xml, const QString &part, QString *error)
{
    m_strings.clear();
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (Xml::next(reader) == QXmlStreamReader::StartElement && reader.name() == QLatin1String("si"))
            m_strings.append(readStringItem(reader));
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        return false;
    }
    return true;
}

} // namespace QXlsx
