#pragma once
// The style sheet (xl/styles.xml): finds or adds the cell style (xf) that a Format asks for.
// Only borders and cell styles are ever added; everything else in the part is copied through.

#include "xlsx/xlsxformat.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

namespace QXlsx {

class Styles
{
public:
    bool parse(const QByteArray &xml, const QString &part, QString *error);

    // The cell style that is baseStyle with the borders, horizontal alignment and number format
    // (when it sets one) of format:
    // an equal existing one, or a new one. -1 when the style sheet has no tables to add to.
    int styleFor(int baseStyle, const Format &format);

    bool isChanged() const { return !m_newBorders.isEmpty() || !m_newXfs.isEmpty(); }
    // The part with the added borders and cell styles (the original when nothing was added).
    bool write(const QByteArray &original, QByteArray *out, QString *error) const;

    // A minimal style sheet for a new package.
    static QByteArray defaultXml();

private:
    using Attributes = QVector<QPair<QString, QString>>;
    struct Xf
    {
        Attributes attributes;
        Attributes alignment;
        Attributes protection;
    };
    static QString xfKey(const Xf &xf);
    int borderFor(const Format &format);

    bool m_hasBorders = false;
    bool m_hasCellXfs = false;
    int m_borderCount = 0;
    QVector<Xf> m_xfs;              // existing and added, in index order
    int m_existingXfs = 0;
    QHash<QString, int> m_xfIndex;  // key -> first xf with it
    QHash<QString, int> m_borderIndex;
    QVector<Format> m_newBorders;   // borders appended after the existing ones
    QVector<Xf> m_newXfs;
    QHash<quint64, int> m_styleFor; // (base style, format) -> styleFor() result, as report writers repeat them
};

} // namespace QXlsx
