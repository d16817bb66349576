#pragma once
// The shared string table (xl/sharedStrings.xml), read only: cells we write hold their text
// inline, so the table of an existing workbook stays as it was.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <string>

namespace QXlsx {

class PartStream;
class XmlScanner;

class SharedStrings
{
public:
    // Reads the table from its XML as stored, held whole or as it arrives.
    bool parse(const QByteArray &xml, const QString &part, QString *error);
    bool parse(PartStream &xml, const QString &part, QString *error);
    int size() const { return m_strings.size(); }
    // The string at index; a null QString when out of range.
    QString at(int index) const { return index >= 0 && index < m_strings.size() ? m_strings[index] : QString(); }

private:
    bool scan(XmlScanner &xml);

    QVector<QString> m_strings;
};

// Appends the text of a string item (<si> or <is>; its start tag was the last token) as UTF-8:
// plain text or the runs of rich text joined, phonetic hints left out. False when the scanner
// is unsure of the XML.
bool readStringItem(XmlScanner &xml, std::string *text);

} // namespace QXlsx
