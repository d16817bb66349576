#pragma once
// The shared string table (xl/sharedStrings.xml), read only: cells we write hold their text
// inline, so the table of an existing workbook stays as it was.

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;
class QXmlStreamReader;

namespace QXlsx {

class SharedStrings
{
public:
    // Reads the table from a device opened for reading.
    bool parse(QIODevice *xml, const QString &part, QString *error);
    int size() const { return m_strings.size(); }
    // The string at index; a null QString when out of range.
    QString at(int index) const { return index >= 0 && index < m_strings.size() ? m_strings[index] : QString(); }

private:
    QVector<QString> m_strings;
};

// Reads the text of a string item (<si> or <is>; the reader is on its start tag): plain text or
// the runs of rich text joined, phonetic hints left out. Leaves the reader on the end tag.
QString readStringItem(QXmlStreamReader &reader);

} // namespace QXlsx
