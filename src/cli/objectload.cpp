#include "objectload.h"

#include "core/com.h"
#include "core/dialogfields.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"

#include <QFileInfo>

#include <cstdio>

using namespace keli;

bool loadObject(const CliOptions &opt, const QString &source, Dataset *ds, QString *error)
{
    ds->workbookPath = source;
    // A save starts from the workbook as read, not from a second reading.
    ds->keepOpenedBook = !opt.savePath.isEmpty();
    ds->calcMonth = opt.month;
    ds->calcYear = opt.year;
    if (!QFileInfo(source).isFile()) {
        *error = QStringLiteral("нет такого файла");
        return false;
    }
    const WorkbookResult loaded = readXLSwriteDB(*ds);
    if (!loaded.ok) {
        *error = loaded.message;
        return false;
    }

    // The period: as given, else as stored in the workbook; a given one that differs is said.
    ds->calcMonth = opt.month ? opt.month : ds->fileMonth;
    ds->calcYear = opt.year ? opt.year : ds->fileYear;
    if ((opt.month || opt.year) && ds->storedPeriodDiffers()) {
        const QString notice = QStringLiteral("keli-calc: %1: в книге сохранен период %2, расчет за %3, "
                                              "заданный --month/--year.\n")
                                   .arg(source, com::periodText(ds->fileMonth, ds->fileYear),
                                        com::periodText(ds->calcMonth, ds->calcYear));
        std::fputs(notice.toUtf8().constData(), stderr);
    }
    if (ds->calcMonth < 1 || ds->calcMonth > 13) {
        *error = QStringLiteral("в файле нет месяца расчета (записан %1); укажите --month").arg(ds->fileMonth);
        return false;
    }
    if (ds->calcYear < 1) {
        *error = QStringLiteral("в файле нет года расчета (записан %1); укажите --year").arg(ds->fileYear);
        return false;
    }
    ds->periodDays = k_day(ds->calcMonth, ds->calcYear);
    ds->organisation = opt.organisation;
    ds->preparedBy = opt.preparedBy;
    ds->checkedBy = opt.checkedBy;
    // The workbook's own parameters, else keli.ini's; options given stand over both.
    for (int t = 0; t < 3; ++t)
        if (opt.correctionGiven || !ds->parametersStored)
            ds->correctionFactor[t] = opt.correction[t];
    for (int k = 0; k < 4; ++k)
        if (opt.releasesGiven || !ds->parametersStored)
            ds->networkRelease[k] = opt.releases[k];
    // The dialog's fields round and bound what they hold (J1..L1 included): calculate the same.
    limitToDialogFields(*ds);
    ds->report1Selected = opt.report1;
    ds->report2Selected = opt.report2;
    ds->showStopList = opt.stopList;
    return true;
}
