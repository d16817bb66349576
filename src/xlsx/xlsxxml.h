#pragma once
// Small helpers for the streaming XML of package parts: a reader step that refuses DTDs,
// attribute lookup by local name, and copying a token through unchanged.

#include <QString>
#include <QStringView>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace QXlsx {
namespace Xml {

// Advances the reader; a DTD (and so any entity declaration) is refused as an error.
QXmlStreamReader::TokenType next(QXmlStreamReader &reader);

// Skips the rest of the current element (the reader is on its start tag).
void skipElement(QXmlStreamReader &reader);

// An attribute without namespace by local name ("r", "t", "s"); empty when absent.
QStringView attribute(const QXmlStreamAttributes &attributes, QLatin1String name);
// The relationship id attribute (r:id in whatever prefix the producer used).
QString relationshipId(const QXmlStreamAttributes &attributes);

// Writes the reader's current token to the writer as it was (qualified names and namespace
// declarations kept).
void copyToken(QXmlStreamReader &reader, QXmlStreamWriter &writer);
// Writes a start element with the given attributes, keeping the reader's namespace declarations.
void writeStartElement(QXmlStreamReader &reader, QXmlStreamWriter &writer,
                       const QXmlStreamAttributes &attributes);

// The error text of a reader that failed, with the part name.
QString errorText(const QXmlStreamReader &reader, const QString &part);

} // namespace Xml
} // namespace QXlsx
