#pragma once
// A relationships part (_rels/*.rels): which part a source part points to, by id and type.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

namespace QXlsx {

struct Relationship
{
    QString id;
    QString type;
    QString target;
    bool external = false;
};

class Relationships
{
public:
    bool parse(const QByteArray &xml, const QString &part, QString *error);
    QByteArray toXml() const;

    const Relationship *byId(const QString &id) const;
    // The first relationship whose type ends with "/" + kind ("worksheet", "styles", ...).
    const Relationship *byKind(const QString &kind) const;
    // Adds a relationship with a fresh id and returns the id.
    QString add(const QString &type, const QString &target);
    void remove(const QString &id);

    // The relationships part of a source part ("xl/workbook.xml" -> "xl/_rels/workbook.xml.rels").
    static QString partFor(const QString &source);
    // The part a target names, seen from the source part.
    static QString resolve(const QString &source, const QString &target);

private:
    QVector<Relationship> m_list;
    QHash<QString, int> m_byId; // id -> first relationship with it
};

} // namespace QXlsx
