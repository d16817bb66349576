// The press of "РАСЧЕТ": runs the calculation in core, then shows what its outcome calls for:
// the message boxes, the report pages in the viewer, the report workbooks, the error report.
#include "fvid.h"

#include "htmlview.h"
#include "openerwatch.h"

#include "core/calculation.h"
#include "core/com.h"
#include "core/report1.h"
#include "core/report2.h"
#include "core/reporterror.h"
#include "core/reportfiles.h"
#include "core/settings.h"
#include "core/signoff.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {

const QString kInformTitle = QStringLiteral(" ");

QString workDir()
{
    return QDir::currentPath();
}

// A template the working folder lacks comes from the installed ones.
void provideTemplate(const QString &templateName)
{
    keli::provideTemplate(workDir(), keli::installedTemplatesDir(QCoreApplication::applicationDirPath()),
                          templateName);
}

} // namespace

void FVid::on_raschet_clicked()
{
    syncToDataset();
    keli::takeSignatories(keli::Settings(), &ds); // as the settings dialog left them
    outcome = std::make_unique<keli::CalcOutcome>(keli::calculate(ds));
    for (const QString &failure : keli::clearEarlierReports(workDir(), ds, outcome->outcome))
        prompts.inform(kInformTitle, failure);

    switch (outcome->outcome) {
    case keli::Outcome::FillFactorZero:
    case keli::Outcome::AllEnergiesZero:
        prompts.inform(kInformTitle, outcome->message);
        return;
    case keli::Outcome::Blocked:
        prompts.inform(kInformTitle, keli::blockedMessage());
        otchet_errhtml();
        otchet_errxls();
        return;
    case keli::Outcome::Calculated:
        break;
    }

    if (ds.report1Selected) {
        otchet1html();
        otchet1xls();
    }
    if (ds.report2Selected) {
        otchet2html();
        otchet2xls();
    }
    if (outcome->warningCount > 0 && ds.showStopList)
        otchet_errhtml();
}

namespace {

// Shows one report page modally; a page file that cannot be written is reported first, and the
// page is shown all the same.
void showPage(const keli::Prompts &prompts, const keli::Dataset &ds, const keli::ReportPage &page)
{
    HtmlView view(keli::reportOrganisation(ds), ds.objectName);
    view.setSignOff(keli::signOffLines(ds, keli::signOffDate(QDateTime::currentDateTime())));
    view.showReportPage(page);
    if (!view.pageError().isEmpty()) {
        const QString notSaved = QStringLiteral("Отчет будет показан, но в папке \"%1\" он не сохранен.")
                                     .arg(QDir::toNativeSeparators(workDir()));
        prompts.inform(kInformTitle, view.pageError() + QStringLiteral("\n\n") + notSaved);
    }
    view.show();
    view.exec();
}

void reportBook(const keli::Prompts &prompts, const keli::BookResult &result)
{
    if (!result.ok())
        prompts.inform(kInformTitle, result.message);
}

} // namespace

void FVid::otchet1html()
{
    showPage(prompts, ds, keli::report1Page(ds, outcome->results));
}

void FVid::otchet1xls()
{
    provideTemplate(keli::report1TemplateName);
    reportBook(prompts, keli::otchet1xls(workDir(), ds, outcome->results, keli::reportDateText()));
}

void FVid::otchet2html()
{
    showPage(prompts, ds, keli::report2Page(ds, outcome->results));
}

void FVid::otchet2xls()
{
    provideTemplate(keli::report2TemplateName);
    reportBook(prompts, keli::otchet2xls(workDir(), ds, outcome->results, keli::reportDateText()));
}

void FVid::otchet_errhtml()
{
    showPage(prompts, ds, keli::errorReportPage(outcome->stopList, ds.calcMonth, ds.calcYear));
}

void FVid::otchet_errxls()
{
    provideTemplate(keli::stopListBookName);
    const keli::BookResult written = keli::otchet_errxls(
        QDir(workDir()).filePath(keli::stopListBookName), outcome->stopList,
        keli::stopListSubject(ds.objectName, ds.calcMonth, ds.calcYear),
        QStringList{keli::reportOrganisation(ds)} + keli::signOffLines(ds, keli::reportDateText()));
    reportBook(prompts, written);
    if (!written.ok())
        return;
    // The spreadsheet program opens the workbook on its own; it is not waited for. When it cannot
    // be started, the desktop's application for .xlsx opens it (xdg-open, else what the platform
    // knows), else the user is told; so is he when the program started ends at once with an error.
    const QString path = QDir(workDir()).filePath(keli::stopListBookName);
    const keli::Prompts told = prompts;
    const auto failed = [told, path](const QString &program) {
        return [told, path, program](int exitCode) {
            told.inform(kInformTitle, keli::spreadsheetFailedMessage(program, exitCode, path));
        };
    };
    QStringList command = keli::spreadsheetCommandLine(ds.spreadsheetCommand, keli::stopListBookName);
    if (!command.isEmpty()) {
        const QString program = command.takeFirst();
        if (keli::startWatched(program, command, workDir(), failed(program)))
            return;
    }
    const QString opener = QStringLiteral("xdg-open");
    if (keli::startWatched(opener, {path}, workDir(), failed(opener))
        || QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    prompts.inform(kInformTitle, keli::spreadsheetNotStartedMessage(ds.spreadsheetCommand, path));
}
