#pragma once
// [Content_Types].xml: the content type of every part, by extension or by part name.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace QXlsx {

class ContentTypes
{
public:
    static QString partName() { return QStringLiteral("[Content_Types].xml"); }

    bool parse(const QByteArray &xml, QString *error);
    QByteArray toXml() const;

    QString typeOf(const QString &part) const;
    void setOverride(const QString &part, const QString &type);
    void removeOverride(const QString &part);

private:
    struct Item
    {
        QString key;  // extension (Default) or part name with leading "/" (Override)
        QString type;
    };
    QVector<Item> m_defaults;
    QVector<Item> m_overrides;
};

} // namespace QXlsx
