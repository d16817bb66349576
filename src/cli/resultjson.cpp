#include "resultjson.h"

#include "core/calcmath.h"
#include "core/helpers.h"

#include <QStringList>

#include <cmath>

namespace {

// Rows of 10,000 metering points make these the bulk of the document: written without a
// QString per number.
void appendNumber(QString *out, double v)
{
    char digits[32];
    const int n = keli::fullPrecisionText(keli::finiteOr0(v), digits);
    out->append(QLatin1String(digits, n));
}

QString number(double v)
{
    QString out;
    appendNumber(&out, v);
    return out;
}

QString text(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

template <typename Container>
QString numberArray(const Container &values)
{
    QString out;
    out.reserve(2 + 24 * int(values.size()));
    out += QLatin1Char('[');
    for (double v : values) {
        if (out.size() > 1)
            out += QLatin1Char(',');
        appendNumber(&out, v);
    }
    return out + QLatin1Char(']');
}

QString member(const QString &name, const QString &value)
{
    return QStringLiteral("  ") + text(name) + QStringLiteral(": ") + value;
}

QString object(const QStringList &members)
{
    return QLatin1Char('{') + members.join(QStringLiteral(", ")) + QLatin1Char('}');
}

} // namespace

QByteArray unreadableJson(const QString &source, const QString &message, const QString &outcome)
{
    const QStringList m = {member(QStringLiteral("source"), text(source)),
                           member(QStringLiteral("outcome"), text(outcome)),
                           member(QStringLiteral("message"), text(message))};
    return (QStringLiteral("{\n") + m.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n")).toUtf8();
}

QByteArray resultJson(const keli::CalcOutcome &o, const QString &source)
{
    const keli::CalcResults &r = o.results;
    QStringList m;
    if (!source.isNull())
        m << member(QStringLiteral("source"), text(source));
    m << member(QStringLiteral("outcome"), text(keli::outcomeName(o.outcome)));
    m << member(QStringLiteral("message"), text(o.message));
    m << member(QStringLiteral("errorCount"), QString::number(o.errorCount));
    m << member(QStringLiteral("warningCount"), QString::number(o.warningCount));
    m << member(QStringLiteral("period"),
                object({text(QStringLiteral("month")) + QStringLiteral(": ") + QString::number(r.periodMonth),
                        text(QStringLiteral("year")) + QStringLiteral(": ") + QString::number(r.periodYear),
                        text(QStringLiteral("days")) + QStringLiteral(": ") + QString::number(r.periodDays)}));
    for (const auto &p : keli::namedResults(r))
        m << member(p.first, number(p.second));
    m << member(QStringLiteral("maxIntakePointName"), text(r.maxIntakePointName));
    m << member(QStringLiteral("maxReleasePointName"), text(r.maxReleasePointName));
    m << member(QStringLiteral("orderReleaseShares"), numberArray(r.orderReleaseShares));
    m << member(QStringLiteral("levelUndermetering"), numberArray(r.levelUndermetering));
    m << member(QStringLiteral("rowUndermetering"), numberArray(r.rowUndermetering));
    m << member(QStringLiteral("rowRandomError"), numberArray(r.rowRandomError));

    QStringList groups;
    for (const keli::GroupCharacteristics &g : r.groupCharacteristics) {
        const auto field = [](const char *name, double v) {
            return text(QString::fromLatin1(name)) + QStringLiteral(": ") + number(v);
        };
        groups << object({field("combinedClass", g.combinedClass), field("ctClass", g.ctClass),
                          field("vtClass", g.vtClass), field("meterClass", g.meterClass),
                          field("ctLoad", g.ctLoad), field("reportVoltage", g.reportVoltage),
                          field("vtCircuitLoss", g.vtCircuitLoss),
                          field("yearsSinceVerification", g.yearsSinceVerification)});
    }
    m << member(QStringLiteral("groupCharacteristics"),
                QStringLiteral("[\n    ") + groups.join(QStringLiteral(",\n    ")) + QStringLiteral("\n  ]"));

    QStringList entries;
    for (const keli::StopListEntry &e : o.stopList) {
        const auto field = [](const char *name, const QString &v) {
            return text(QString::fromLatin1(name)) + QStringLiteral(": ") + v;
        };
        entries << object({field("fileRow", QString::number(e.fileRow)),
                           field("table", QString::number(e.table)),
                           field("rowInTable", QString::number(e.rowInTable)),
                           field("name", text(e.name)), field("parameter", text(e.parameter)),
                           field("value", number(e.value)), field("message", text(e.message)),
                           field("kind", text(e.kind))});
    }
    m << member(QStringLiteral("stopList"),
                entries.isEmpty() ? QStringLiteral("[]")
                                  : QStringLiteral("[\n    ") + entries.join(QStringLiteral(",\n    "))
                                        + QStringLiteral("\n  ]"));
    return (QStringLiteral("{\n") + m.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n")).toUtf8();
}
