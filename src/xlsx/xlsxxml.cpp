#include "xlsx/xlsxxml.h"

#include <QBuffer>

namespace QXlsx {
namespace Xml {

namespace {
const QLatin1String relationshipsNs("relationships");
}

QXmlStreamReader::TokenType next(QXmlStreamReader &reader)
{
    const QXmlStreamReader::TokenType t = reader.readNext();
    if (t == QXmlStreamReader::DTD) {
        reader.raiseError(QStringLiteral("document type declarations are not accepted"));
        return QXmlStreamReader::Invalid;
    }
    if (t == QXmlStreamReader::EntityReference) {
        reader.raiseError(QStringLiteral("undeclared entity"));
        return QXmlStreamReader::Invalid;
    }
    return t;
}

void skipElement(QXmlStreamReader &reader)
{
    int depth = 1;
    while (depth > 0) {
        switch (next(reader)) {
        case QXmlStreamReader::StartElement: ++depth; break;
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument: return;
        default: break;
        }
    }
}

QStringView attribute(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == name && a.namespaceUri().isEmpty())
            return a.value();
    }
    return QStringView();
}

QString relationshipId(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == QLatin1String("id") && a.namespaceUri().contains(relationshipsNs))
            return a.value().toString();
    }
    return QString();
}

void writeStartElement(QXmlStreamReader &reader, QXmlStreamWriter &writer,
                       const QXmlStreamAttributes &attributes)
{
    writer.writeStartElement(reader.qualifiedName().toString());
    for (const QXmlStreamNamespaceDeclaration &ns : reader.namespaceDeclarations()) {
        if (ns.prefix().isEmpty())
            writer.writeAttribute(QStringLiteral("xmlns"), ns.namespaceUri().toString());
        else
            writer.writeAttribute(QStringLiteral("xmlns:") + ns.prefix(), ns.namespaceUri().toString());
    }
    for (const QXmlStreamAttribute &a : attributes)
        writer.writeAttribute(a.qualifiedName().toString(), a.value().toString());
}

void copyToken(QXmlStreamReader &reader, QXmlStreamWriter &writer)
{
    switch (reader.tokenType()) {
    case QXmlStreamReader::StartDocument:
        if (reader.isStandaloneDocument())
            writer.writeStartDocument(reader.documentVersion().toString(), true);
        else
            writer.writeStartDocument(reader.documentVersion().isEmpty() ? QStringLiteral("1.0")
                                                                         : reader.documentVersion().toString());
        break;
    case QXmlStreamReader::EndDocument:
        writer.writeEndDocument();
        break;
    case QXmlStreamReader::StartElement:
        writeStartElement(reader, writer, reader.attributes());
        break;
    case QXmlStreamReader::EndElement:
        writer.writeEndElement();
        break;
    case QXmlStreamReader::Characters:
        if (reader.isCDATA())
            writer.writeCDATA(reader.text().toString());
        else
            writer.writeCharacters(reader.text().toString());
        break;
    case QXmlStreamReader::Comment:
        writer.writeComment(reader.text().toString());
        break;
    case QXmlStreamReader::ProcessingInstruction:
        writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                          reader.processingInstructionData().toString());
        break;
    default:
        break;
    }
}

namespace {

bool isPlainName(QStringView name)
{
    if (name.isEmpty())
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort u = name[i].unicode();
        const bool letter = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_';
        if (!letter && (i == 0 || !((u >= '0' && u <= '9') || u == '-' || u == '.')))
            return false;
    }
    return true;
}

QString plainName(const QStringRef &name)
{
    return isPlainName(name) ? name.toString() : QStringLiteral("_");
}

void appendEscaped(QStringView text, bool attribute, QString *out)
{
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '&': *out += QLatin1String("&amp;"); break;
        case '<': *out += QLatin1String("&lt;"); break;
        case '>': *out += QLatin1String("&gt;"); break;
        case '"': *out += QLatin1String("&quot;"); break;
        case '\r': *out += QLatin1String("&#13;"); break;
        case '\t': *out += attribute ? QLatin1String("&#9;") : QLatin1String("\t"); break;
        case '\n': *out += attribute ? QLatin1String("&#10;") : QLatin1String("\n"); break;
        default: *out += ch; break;
        }
    }
}

} // namespace

bool plainCopy(const QByteArray &xml, QByteArray *out, const QString &part, QString *error)
{
    QXmlStreamReader reader(xml);
    QString copy;
    while (!reader.atEnd()) {
        switch (next(reader)) {
        case QXmlStreamReader::StartElement:
            copy += QLatin1Char('<') + plainName(reader.name());
            for (const QXmlStreamAttribute &a : reader.attributes()) {
                if (!a.namespaceUri().isEmpty() || !a.prefix().isEmpty() || !isPlainName(a.name()))
                    continue;
                copy += QLatin1Char(' ') + a.name() + QLatin1String("=\"");
                appendEscaped(a.value(), true, &copy);
                copy += QLatin1Char('"');
            }
            copy += QLatin1Char('>');
            break;
        case QXmlStreamReader::EndElement:
            copy += QLatin1String("</") + plainName(reader.name()) + QLatin1Char('>');
            break;
        case QXmlStreamReader::Characters:
            appendEscaped(reader.text(), false, &copy);
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        *error = errorText(reader, part);
        return false;
    }
    *out = copy.toUtf8();
    return true;
}

bool rewrittenCopy(const QByteArray &xml, QByteArray *out, const QString &part, QString *error)
{
    QXmlStreamReader reader(xml);
    out->clear();
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter writer(&buffer);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType t = next(reader);
        if (t == QXmlStreamReader::Invalid)
            break;
        if (t != QXmlStreamReader::ProcessingInstruction)
            copyToken(reader, writer);
    }
    if (reader.hasError()) {
        *error = errorText(reader, part);
        return false;
    }
    return true;
}

QString errorText(const QXmlStreamReader &reader, const QString &part)
{
    return QStringLiteral("%1: malformed XML at line %2: %3")
        .arg(part)
        .arg(reader.lineNumber())
        .arg(reader.errorString());
}

} // namespace Xml
} // namespace QXlsx
