#include "xlsx/xlsxworkbook.h"

#include "xlsx/xlsxxml.h"

namespace QXlsx {

bool Workbook::parse(const QByteArray &xml, const QString &part, QString *error)
{
    sheets.clear();
    activeTab = 0;
    bool viewSeen = false;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (Xml::next(reader) != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == QLatin1String("sheet")) {
            if (sheets.size() == maxSheets) {
                *error = QStringLiteral("%1: too many sheets").arg(part);
                return false;
            }
            sheets.append({Xml::attribute(a, QLatin1String("name")).toString(), Xml::relationshipId(a)});
        } else if (reader.name() == QLatin1String("workbookView") && !viewSeen) {
            viewSeen = true;
            bool ok = false;
            const int tab = Xml::attribute(a, QLatin1String("activeTab")).toInt(&ok);
            activeTab = ok ? tab : 0;
        }
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        return false;
    }
    if (activeTab < 0 || activeTab >= sheets.size())
        activeTab = 0;
    return true;
}

} // namespace QXlsx
