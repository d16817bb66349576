#include "xlsx/xlsxcontenttypes.h"

#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxzippackage.h"

namespace QXlsx {

namespace {
QString withSlash(const QString &part)
{
    return QLatin1Char('/') + normalizedPartName(part);
}
} // namespace

bool ContentTypes::parse(const QByteArray &xml, QString *error)
{
    m_defaults.clear();
    m_overrides.clear();
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (Xml::next(reader) != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == QLatin1String("Default"))
            m_defaults.append({Xml::attribute(a, QLatin1String("Extension")).toString(),
                               Xml::attribute(a, QLatin1String("ContentType")).toString()});
        else if (reader.name() == QLatin1String("Override"))
            m_overrides.append({Xml::attribute(a, QLatin1String("PartName")).toString(),
                                Xml::attribute(a, QLatin1String("ContentType")).toString()});
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, partName());
        return false;
    }
    return true;
}

QByteArray ContentTypes::toXml() const
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("Types"));
    w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    for (const Item &d : m_defaults) {
        w.writeEmptyElement(QStringLiteral("Default"));
        w.writeAttribute(QStringLiteral("Extension"), d.key);
        w.writeAttribute(QStringLiteral("ContentType"), d.type);
    }
    for (const Item &o : m_overrides) {
        w.writeEmptyElement(QStringLiteral("Override"));
        w.writeAttribute(QStringLiteral("PartName"), o.key);
        w.writeAttribute(QStringLiteral("ContentType"), o.type);
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QString ContentTypes::typeOf(const QString &part) const
{
    const QString name = withSlash(part);
    for (const Item &o : m_overrides) {
        if (o.key.compare(name, Qt::CaseInsensitive) == 0)
            return o.type;
    }
    const QString ext = name.section(QLatin1Char('.'), -1);
    for (const Item &d : m_defaults) {
        if (d.key.compare(ext, Qt::CaseInsensitive) == 0)
            return d.type;
    }
    return QString();
}

void ContentTypes::setOverride(const QString &part, const QString &type)
{
    removeOverride(part);
    m_overrides.append({withSlash(part), type});
}

void ContentTypes::removeOverride(const QString &part)
{
    const QString name = withSlash(part);
    for (int i = m_overrides.size() - 1; i >= 0; --i) {
        if (m_overrides[i].key.compare(name, Qt::CaseInsensitive) == 0)
            m_overrides.remove(i);
    }
}

} // namespace QXlsx
