#include "core/signoff.h"

#include "core/com.h"
#include "core/settings.h"

#include "xlsx/xlsxdocument.h"

#include <QFileInfo>

namespace keli {

namespace {

const QString signHere = QStringLiteral("____________________");

QString signatureLine(const QString &role, const QString &who)
{
    const QString name = who.trimmed();
    return role + QStringLiteral(": ") + (name.isEmpty() ? signHere + signHere : name + QStringLiteral("   ") + signHere);
}

// "версия V2.01.26" from the program line's " (Версия V2.01.26)".
QString versionText()
{
    QString v = com::programVersion.trimmed();
    if (v.startsWith(QLatin1Char('(')) && v.endsWith(QLatin1Char(')')))
        v = v.mid(1, v.size() - 2);
    return v.left(1).toLower() + v.mid(1);
}

} // namespace

QString reportOrganisation(const Dataset &ds)
{
    const QString org = ds.organisation.trimmed();
    return org.isEmpty() ? com::organisationName : org;
}

void takeSignatories(const Settings &settings, Dataset *ds)
{
    ds->organisation = settings.organisation();
    ds->preparedBy = settings.preparedBy();
    ds->checkedBy = settings.checkedBy();
}

QStringList signOffLines(const Dataset &ds, const QString &dateText)
{
    const QString source = QFileInfo(ds.workbookPath).fileName();
    QString calculation = QStringLiteral("Дата расчета: ") + dateText;
    if (!source.isEmpty())
        calculation += QStringLiteral(".   Исходный файл: ") + source;
    calculation += QStringLiteral(".   ") + com::programTitle + QStringLiteral(", ") + versionText() + QLatin1Char('.');
    return {calculation, signatureLine(QStringLiteral("Составил"), ds.preparedBy),
            signatureLine(QStringLiteral("Проверил"), ds.checkedBy)};
}

QString signOffDate(const QDateTime &calculatedAt)
{
    return calculatedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

int writeSignOff(QXlsx::Document &book, int row, int column, const QStringList &lines)
{
    for (const QString &line : lines)
        book.write(++row, column, line);
    return row;
}

} // namespace keli
