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

// Reads a part with the general reader and writes what the cell readers look at as plain UTF-8
// XML without namespaces: elements by local name ("_" for names outside ASCII), the attributes
// without prefix, and the text; comments and processing instructions are left out. For parts
// the fast scanner does not take as they stand. False with an error text when the part is not
// well-formed.
bool plainCopy(const QByteArray &xml, QByteArray *out, const QString &part, QString *error);

// Reads a part with the general reader and writes it again, token by token as it was (names,
// namespaces, comments), as UTF-8; processing instructions are left out. For parts the fast
// scanner does not take as they stand. False with an error text when the part is not well-formed.
bool rewrittenCopy(const QByteArray &xml, QByteArray *out, const QString &part, QString *error);

// The error text of a reader that failed, with the part name.
QString errorText(const QXmlStreamReader &reader, const QString &part);

} // namespace Xml
} // namespace QXlsx
