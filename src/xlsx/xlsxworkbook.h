#pragma once
// The workbook part (xl/workbook.xml): the sheets in their order with their relationship ids,
// and the active sheet of the first book view.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace QXlsx {

struct WorkbookSheet
{
    QString name;
    QString relationshipId;
};

struct Workbook
{
    static constexpr int maxSheets = 10000; // the zip holds at most as many parts
    QVector<WorkbookSheet> sheets;
    int activeTab = 0;

    bool parse(const QByteArray &xml, const QString &part, QString *error);
};

} // namespace QXlsx
