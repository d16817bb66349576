#include "xlsx/xlsxrelationships.h"

#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxzippackage.h"

#include <QUrl>

namespace QXlsx {

bool Relationships::parse(const QByteArray &xml, const QString &part, QString *error)
{
    m_list.clear();
    m_byId.clear();
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (Xml::next(reader) != QXmlStreamReader::StartElement || reader.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        Relationship r;
        r.id = Xml::attribute(a, QLatin1String("Id")).toString();
        r.type = Xml::attribute(a, QLatin1String("Type")).toString();
        r.target = Xml::attribute(a, QLatin1String("Target")).toString();
        r.external = Xml::attribute(a, QLatin1String("TargetMode")) == QLatin1String("External");
        if (!m_byId.contains(r.id))
            m_byId.insert(r.id, m_list.size());
        m_list.append(r);
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        return false;
    }
    return true;
}

QByteArray Relationships::toXml() const
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("Relationships"));
    w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
    for (const Relationship &r : m_list) {
        w.writeEmptyElement(QStringLiteral("Relationship"));
        w.writeAttribute(QStringLiteral("Id"), r.id);
        w.writeAttribute(QStringLiteral("Type"), r.type);
        w.writeAttribute(QStringLiteral("Target"), r.target);
        if (r.external)
            w.writeAttribute(QStringLiteral("TargetMode"), QStringLiteral("External"));
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

const Relationship *Relationships::byId(const QString &id) const
{
    const int i = m_byId.value(id, -1);
    return i >= 0 ? &m_list[i] : nullptr;
}

const Relationship *Relationships::byKind(const QString &kind) const
{
    const QString suffix = QLatin1Char('/') + kind;
    for (const Relationship &r : m_list) {
        if (r.type.endsWith(suffix) && !r.external)
            return &r;
    }
    return nullptr;
}

QString Relationships::add(const QString &type, const QString &target)
{
    int n = m_list.size() + 1;
    QString id;
    do {
        id = QStringLiteral("rId%1").arg(n++);
    } while (byId(id));
    m_byId.insert(id, m_list.size());
    m_list.append({id, type, target, false});
    return id;
}

void Relationships::remove(const QString &id)
{
    for (int i = m_list.size() - 1; i >= 0; --i) {
        if (m_list[i].id == id)
            m_list.remove(i);
    }
    m_byId.clear();
    for (int i = m_list.size() - 1; i >= 0; --i)
        m_byId.insert(m_list[i].id, i);
}

QString Relationships::partFor(const QString &source)
{
    const QString s = normalizedPartName(source);
    const int slash = s.lastIndexOf(QLatin1Char('/'));
    return s.left(slash + 1) + QStringLiteral("_rels/") + s.mid(slash + 1) + QStringLiteral(".rels");
}

QString Relationships::resolve(const QString &source, const QString &target)
{
    // Targets are URIs: percent-escapes are decoded; an absolute one starts at the package root.
    const QString path = QUrl::fromPercentEncoding(target.toUtf8());
    if (path.startsWith(QLatin1Char('/')))
        return normalizedPartName(path);
    const QString s = normalizedPartName(source);
    return normalizedPartName(s.left(s.lastIndexOf(QLatin1Char('/')) + 1) + path);
}

} // namespace QXlsx
