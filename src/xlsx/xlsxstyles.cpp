#include "xlsx/xlsxstyles.h"

#include "xlsx/xlsxxml.h"

#include <QBuffer>
#include <algorithm>

namespace QXlsx {

namespace {

const char *const borderNames[] = {"", "thin", "medium", "dashed", "dotted", "thick", "double", "hair",
                                   "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot",
                                   "mediumDashDotDot", "slantDashDot"};
const char *const alignNames[] = {"general", "left", "center", "right", "fill", "justify",
                                  "centerContinuous", "distributed"};

QString borderKey(const QString &l, const QString &r, const QString &t, const QString &b)
{
    return l + QLatin1Char(';') + r + QLatin1Char(';') + t + QLatin1Char(';') + b;
}

QString formatBorderKey(const Format &f)
{
    return borderKey(QLatin1String(borderNames[f.leftBorderStyle()]), QLatin1String(borderNames[f.rightBorderStyle()]),
                     QLatin1String(borderNames[f.topBorderStyle()]), QLatin1String(borderNames[f.bottomBorderStyle()]));
}

QVector<QPair<QString, QString>> plainAttributes(const QXmlStreamAttributes &attributes)
{
    QVector<QPair<QString, QString>> list;
    for (const QXmlStreamAttribute &a : attributes)
        list.append({a.qualifiedName().toString(), a.value().toString()});
    return list;
}

void setAttribute(QVector<QPair<QString, QString>> &list, const QString &name, const QString &value)
{
    for (auto &a : list) {
        if (a.first == name) {
            a.second = value;
            return;
        }
    }
    list.append({name, value});
}

void removeAttribute(QVector<QPair<QString, QString>> &list, const QString &name)
{
    for (int i = list.size() - 1; i >= 0; --i) {
        if (list[i].first == name)
            list.remove(i);
    }
}

QString prefixOf(const QXmlStreamReader &reader)
{
    return reader.prefix().isEmpty() ? QString() : reader.prefix().toString() + QLatin1Char(':');
}

} // namespace

QString Styles::xfKey(const Xf &xf)
{
    auto joined = [](Attributes list) {
        std::sort(list.begin(), list.end());
        QString s;
        for (const auto &a : list)
            s += a.first + QLatin1Char('=') + a.second + QLatin1Char(' ');
        return s;
    };
    return joined(xf.attributes) + QLatin1String("|") + joined(xf.alignment) + QLatin1String("|")
           + joined(xf.protection);
}

bool Styles::parse(const QByteArray &xml, const QString &part, QString *error)
{
    QXmlStreamReader reader(xml);
    bool inBorders = false;
    bool inCellXfs = false;
    bool borderPlain = true;
    QString sides[4];
    Xf *xf = nullptr;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType t = Xml::next(reader);
        const QStringRef name = reader.name();
        if (t == QXmlStreamReader::StartElement) {
            if (name == QLatin1String("borders")) {
                inBorders = m_hasBorders = true;
            } else if (name == QLatin1String("cellXfs")) {
                inCellXfs = m_hasCellXfs = true;
            } else if (inBorders && name == QLatin1String("border")) {
                borderPlain = reader.attributes().isEmpty();
                for (QString &s : sides)
                    s.clear();
            } else if (inBorders) {
                const QString style = Xml::attribute(reader.attributes(), QLatin1String("style")).toString();
                if (name == QLatin1String("left") || name == QLatin1String("start"))
                    sides[0] = style;
                else if (name == QLatin1String("right") || name == QLatin1String("end"))
                    sides[1] = style;
                else if (name == QLatin1String("top"))
                    sides[2] = style;
                else if (name == QLatin1String("bottom"))
                    sides[3] = style;
                else if ((name != QLatin1String("diagonal") && name != QLatin1String("color")) || !style.isEmpty())
                    borderPlain = false; // diagonals and the like: not a plain border of ours
                if (name == QLatin1String("color")) {
                    // Automatic colour is what a border without colour gets anyway.
                    const QXmlStreamAttributes ca = reader.attributes();
                    const bool automatic = ca.size() == 1
                                           && (Xml::attribute(ca, QLatin1String("auto")) == QLatin1String("1")
                                               || Xml::attribute(ca, QLatin1String("indexed")) == QLatin1String("64"));
                    borderPlain = borderPlain && automatic;
                }
            } else if (inCellXfs && name == QLatin1String("xf")) {
                m_xfs.append({plainAttributes(reader.attributes()), {}, {}});
                xf = &m_xfs.last();
            } else if (xf && name == QLatin1String("alignment")) {
                xf->alignment = plainAttributes(reader.attributes());
            } else if (xf && name == QLatin1String("protection")) {
                xf->protection = plainAttributes(reader.attributes());
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (name == QLatin1String("borders")) {
                inBorders = false;
            } else if (name == QLatin1String("cellXfs")) {
                inCellXfs = false;
                xf = nullptr;
            } else if (inBorders && name == QLatin1String("border")) {
                const QString key = borderKey(sides[0], sides[1], sides[2], sides[3]);
                if (borderPlain && !m_borderIndex.contains(key))
                    m_borderIndex.insert(key, m_borderCount);
                ++m_borderCount;
            } else if (inCellXfs && name == QLatin1String("xf")) {
                xf = nullptr;
            }
        }
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, part);
        return false;
    }
    m_existingXfs = m_xfs.size();
    for (int i = 0; i < m_xfs.size(); ++i) {
        const QString key = xfKey(m_xfs[i]);
        if (!m_xfIndex.contains(key))
            m_xfIndex.insert(key, i);
    }
    return true;
}

int Styles::borderFor(const Format &format)
{
    const QString key = formatBorderKey(format);
    auto it = m_borderIndex.constFind(key);
    if (it != m_borderIndex.constEnd())
        return it.value();
    const int index = m_borderCount + m_newBorders.size();
    m_newBorders.append(format);
    m_borderIndex.insert(key, index);
    return index;
}

int Styles::styleFor(int baseStyle, const Format &format)
{
    if (!m_hasBorders || !m_hasCellXfs || m_xfs.isEmpty())
        return -1;
    if (baseStyle < 0 || baseStyle >= m_xfs.size())
        baseStyle = 0;
    const quint64 memo = quint64(baseStyle) << 32 | quint64(format.leftBorderStyle()) << 16
                         | quint64(format.rightBorderStyle()) << 12 | quint64(format.topBorderStyle()) << 8
                         | quint64(format.bottomBorderStyle()) << 4 | quint64(format.horizontalAlignment())
                         | quint64(format.numberFormatIndex() + 1) << 20;
    const auto known = m_styleFor.constFind(memo);
    if (known != m_styleFor.constEnd())
        return known.value();
    Xf xf = m_xfs.value(baseStyle);
    setAttribute(xf.attributes, QStringLiteral("borderId"), QString::number(borderFor(format)));
    setAttribute(xf.attributes, QStringLiteral("applyBorder"), QStringLiteral("1"));
    if (format.horizontalAlignment() == Format::AlignHGeneral)
        removeAttribute(xf.alignment, QStringLiteral("horizontal"));
    else
        setAttribute(xf.alignment, QStringLiteral("horizontal"),
                     QLatin1String(alignNames[format.horizontalAlignment()]));
    if (format.numberFormatIndex() >= 0) {
        setAttribute(xf.attributes, QStringLiteral("numFmtId"), QString::number(format.numberFormatIndex()));
        setAttribute(xf.attributes, QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
    }
    if (xf.alignment.isEmpty())
        removeAttribute(xf.attributes, QStringLiteral("applyAlignment"));
    else
        setAttribute(xf.attributes, QStringLiteral("applyAlignment"), QStringLiteral("1"));
    const QString key = xfKey(xf);
    auto it = m_xfIndex.constFind(key);
    if (it != m_xfIndex.constEnd()) {
        m_styleFor.insert(memo, it.value());
        return it.value();
    }
    const int index = m_xfs.size();
    m_xfs.append(xf);
    m_newXfs.append(xf);
    m_xfIndex.insert(key, index);
    m_styleFor.insert(memo, index);
    return index;
}

bool Styles::write(const QByteArray &original, QByteArray *out, QString *error) const
{
    if (!isChanged()) {
        *out = original;
        return true;
    }
    out->clear();
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter w(&buffer);
    QXmlStreamReader reader(original);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType t = Xml::next(reader);
        if (t == QXmlStreamReader::Invalid)
            break;
        const QStringRef name = reader.name();
        if (t == QXmlStreamReader::StartElement
            && (name == QLatin1String("borders") || name == QLatin1String("cellXfs"))) {
            QXmlStreamAttributes a;
            for (const QXmlStreamAttribute &attr : reader.attributes()) {
                if (attr.qualifiedName() != QLatin1String("count"))
                    a.append(attr);
            }
            a.append(QStringLiteral("count"), QString::number(name == QLatin1String("borders")
                                                                  ? m_borderCount + m_newBorders.size()
                                                                  : m_xfs.size()));
            Xml::writeStartElement(reader, w, a);
        } else if (t == QXmlStreamReader::EndElement && name == QLatin1String("borders")) {
            const QString p = prefixOf(reader);
            for (const Format &f : m_newBorders) {
                w.writeStartElement(p + QStringLiteral("border"));
                const Format::BorderStyle styles[4] = {f.leftBorderStyle(), f.rightBorderStyle(),
                                                       f.topBorderStyle(), f.bottomBorderStyle()};
                const char *const sides[4] = {"left", "right", "top", "bottom"};
                for (int i = 0; i < 4; ++i) {
                    w.writeEmptyElement(p + QLatin1String(sides[i]));
                    if (styles[i] != Format::BorderNone)
                        w.writeAttribute(QStringLiteral("style"), QLatin1String(borderNames[styles[i]]));
                }
                w.writeEmptyElement(p + QStringLiteral("diagonal"));
                w.writeEndElement();
            }
            w.writeEndElement();
        } else if (t == QXmlStreamReader::EndElement && name == QLatin1String("cellXfs")) {
            const QString p = prefixOf(reader);
            for (const Xf &xf : m_newXfs) {
                w.writeStartElement(p + QStringLiteral("xf"));
                for (const auto &a : xf.attributes)
                    w.writeAttribute(a.first, a.second);
                if (!xf.alignment.isEmpty()) {
                    w.writeEmptyElement(p + QStringLiteral("alignment"));
                    for (const auto &a : xf.alignment)
                        w.writeAttribute(a.first, a.second);
                }
                if (!xf.protection.isEmpty()) {
                    w.writeEmptyElement(p + QStringLiteral("protection"));
                    for (const auto &a : xf.protection)
                        w.writeAttribute(a.first, a.second);
                }
                w.writeEndElement();
            }
            w.writeEndElement();
        } else {
            Xml::copyToken(reader, w);
        }
    }
    if (reader.hasError()) {
        *error = Xml::errorText(reader, QStringLiteral("styles"));
        return false;
    }
    return true;
}

QByteArray Styles::defaultXml()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<fonts count=\"1\"><font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/>"
        "<family val=\"2\"/><scheme val=\"minor\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "<dxfs count=\"0\"/><tableStyles count=\"0\"/>"
        "</styleSheet>");
}

} // namespace QXlsx
