#include "core/reportfiles.h"

#include "core/com.h"
#include "core/report1.h"
#include "core/report2.h"
#include "core/reporterror.h"
#include "core/signoff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace keli {

QString reportDateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

PageHeading pageHeading(const Dataset &ds, const QDateTime &calculatedAt)
{
    return {reportOrganisation(ds), ds.objectName, signOffLines(ds, signOffDate(calculatedAt))};
}

bool writeReportPage(const QString &dir, const Dataset &ds, const ReportPage &page,
                     const QDateTime &calculatedAt, QString *error)
{
    return writePageFile(QDir(dir).filePath(pageFileName(page.title)),
                         framePage(pageHeading(ds, calculatedAt), page, calculatedAt), error);
}

QStringList reportFileNames()
{
    QStringList names;
    for (const QString &title : {report1Title, report2Title, errorReportTitle})
        names << title + QLatin1String(".html") << title + QLatin1String(".pdf");
    return names << report1BookName << report2BookName << stopListBookName;
}

QStringList clearEarlierReports(const QString &dir, const Dataset &ds, Outcome outcome)
{
    // Every outcome clears: a run that writes no report (all energies or fill factors zero) must
    // not leave the last run's reports beside it as if they were its own.
    const QDir folder(dir);
    for (const QString &name : reportFileNames())
        if (name != stopListBookName)
            QFile::remove(folder.filePath(name)); // false when there is none
    const QString stopList = folder.filePath(stopListBookName);
    if (outcome == Outcome::Blocked || !QFileInfo::exists(stopList))
        return {};
    const BookResult emptied =
        otchet_errxls(stopList, {}, stopListSubject(ds.objectName, ds.calcMonth, ds.calcYear));
    return emptied.ok() ? QStringList() : QStringList{emptied.message};
}

ReportFilesResult writeReportFiles(const QString &dir, const Dataset &ds, const CalcOutcome &outcome,
                                   const ReportFilesOptions &options)
{
    ReportFilesResult result;
    result.failures = clearEarlierReports(dir, ds, outcome.outcome);
    auto page = [&](const ReportPage &p) {
        QString error;
        if (writeReportPage(dir, ds, p, options.calculatedAt, &error))
            result.written << pageFileName(p.title);
        else
            result.failures << error;
    };
    auto book = [&](const BookResult &b, const QString &name) {
        if (b.ok())
            result.written << name;
        else
            result.failures << b.message;
    };
    // A template missing from dir is copied there from the installed ones, unless it was loaded once
    // for many objects; a failure shows as a missing template.
    auto provide = [&](const QString &templateName) {
        if (!options.templates || !options.templates->contains(templateName))
            provideTemplate(dir, options.installedTemplates, templateName);
    };
    const CalcResults &r = outcome.results;
    const int year = ds.calcYear;

    switch (outcome.outcome) {
    case Outcome::Calculated:
        if (options.report1) {
            page(report1Page(ds, r));
            provide(report1TemplateName);
            book(otchet1xls(dir, ds, r, options.dateText, options.templates), report1BookName);
        }
        if (options.report2) {
            page(report2Page(ds, r));
            provide(report2TemplateName);
            book(otchet2xls(dir, ds, r, options.dateText, options.templates), report2BookName);
        }
        if (outcome.warningCount > 0 && options.errorPageAfterWarnings)
            page(errorReportPage(outcome.stopList, ds.calcMonth, year));
        break;
    case Outcome::Blocked:
        page(errorReportPage(outcome.stopList, ds.calcMonth, year));
        // The stop-list workbook is filled in place: a folder without one gets the template first,
        // from where a batch loaded it, else from the installed ones.
        provideTemplate(dir,
                        options.templates && options.templates->contains(stopListBookName)
                            ? options.templates->folder(stopListBookName)
                            : options.installedTemplates,
                        stopListBookName);
        book(otchet_errxls(QDir(dir).filePath(stopListBookName), outcome.stopList,
                           stopListSubject(ds.objectName, ds.calcMonth, year),
                           QStringList{reportOrganisation(ds)} + signOffLines(ds, options.dateText)),
             stopListBookName);
        break;
    case Outcome::FillFactorZero:
    case Outcome::AllEnergiesZero:
        break;
    }
    return result;
}

} // namespace keli
