// keli-calc: loads a source workbook, runs the calculation of one press of "РАСЧЕТ" and writes the
// same report files as the desktop program, without windows.

#include "batch.h"
#include "cliopts.h"
#include "objectload.h"
#include "pagepdf.h"
#include "resultjson.h"

#include "core/calculation.h"
#include "core/helpers.h"
#include "core/reportbook.h"
#include "core/reportfiles.h"
#include "core/sourceworkbook.h"
#include "io/checkedwrite.h"
#include "print/reportprint.h"

#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <memory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace keli;

namespace {

enum ExitCode { Calculated = 0, NotCompleted = 1, UsageOrUnreadable = 2 };

void out(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void err(const QString &line)
{
    std::fputs(("keli-calc: " + line).toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

QString n3(double v)
{
    return rounds(v, 3);
}

bool writeJson(const QString &path, const CalcOutcome &outcome, QString *error)
{
    return writeFileChecked(path, resultJson(outcome), error);
}

bool hasPdfOption(int argc, char **argv)
{
    for (int k = 1; k < argc; ++k)
        if (qstrcmp(argv[k], "--pdf") == 0)
            return true;
    return false;
}

// The outcome in words.
QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Calculated: return QStringLiteral("расчет выполнен");
    case Outcome::Blocked: return QStringLiteral("расчет невозможен: критические ошибки в исходных данных");
    case Outcome::FillFactorZero:
    case Outcome::AllEnergiesZero: return QStringLiteral("расчет невозможен");
    }
    return QString();
}

void printSummary(const CalcOutcome &o)
{
    const CalcResults &r = o.results;
    out(QStringLiteral("Итог: %1").arg(outcomeText(o.outcome)));
    if (!o.message.isEmpty())
        out(QStringLiteral("  %1").arg(o.message));
    if (o.outcome == Outcome::Calculated) {
        out(QStringLiteral("Баланс, тыс. кВт.ч: поступление %1, отпуск в сторонние сети %2, отпуск в "
                           "собственную сеть %3, отпуск в сеть %4")
                .arg(n3(r.intakeEnergy), n3(r.externalReleaseEnergy), n3(r.ownReleaseEnergy),
                     n3(r.netSupply)));
        out(QStringLiteral("Фактические потери %1 (%2 % поступления), фактический небаланс %3 "
                           "(%4 % поступления)")
                .arg(n3(r.actualLoss), rounds(r.actualLossPctIntake, 2), n3(r.commercialLoss),
                     rounds(r.commercialLossPctIntake, 2)));
        out(QStringLiteral("Небаланс от фактических погрешностей учета: %1 .. %2 тыс. кВт.ч")
                .arg(n3(r.actualLower), n3(r.actualUpper)));
        out(QStringLiteral("Потери от нормативных погрешностей учета: %1 .. %2 тыс. кВт.ч")
                .arg(n3(r.normativeLower), n3(r.normativeUpper)));
        // The range the batch summary checks the actual imbalance against.
        out(QStringLiteral("Допустимый небаланс: %1 .. %2 тыс. кВт.ч")
                .arg(n3(r.normativeWithLossesLower), n3(r.normativeWithLossesUpper)));
    }
    out(QStringLiteral("Стоплист: ошибок %1, предупреждений %2").arg(o.errorCount).arg(o.warningCount));
    const int shown = 20;
    for (int k = 0; k < o.stopList.size() && k < shown; ++k) {
        const StopListEntry &e = o.stopList[k];
        out(QStringLiteral("  %1: строка %2 (таблица %3, %4) %5: %6 [%7 = %8]")
                .arg(e.kind).arg(e.fileRow).arg(e.table).arg(e.rowInTable)
                .arg(e.name, e.message, e.parameter, rounds(e.value, 2)));
    }
    if (o.stopList.size() > shown)
        out(QStringLiteral("  ... и еще %1").arg(o.stopList.size() - shown));
}

} // namespace

int main(int argc, char **argv)
{
    // Past a file size limit a write fails and is reported like a full disk, instead of the
    // signal ending the program with files half written.
    std::signal(SIGXFSZ, SIG_IGN);
#ifdef __GLIBC__
    // Blocks up to the size of an inflated sheet come from the heap, so that once freed they are
    // reused by what follows (the dataset, the results) instead of fresh pages being faulted in.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
    // Printing needs fonts, hence a GUI application; it never needs a display.
    std::unique_ptr<QCoreApplication> app;
    if (hasPdfOption(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app.reset(new QGuiApplication(argc, argv));
    } else {
        app.reset(new QCoreApplication(argc, argv));
    }
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    CliOptions opt;
    QString error;
    if (!parseCliOptions(args, QDir::currentPath(), &opt, &error)) {
        err(error);
        std::fputs(cliUsage().toUtf8().constData(), stderr);
        return UsageOrUnreadable;
    }
    if (opt.help) {
        std::fputs(cliUsage().toUtf8().constData(), stdout);
        return Calculated;
    }
    if (opt.version) {
        out(QStringLiteral("keli-calc %1").arg(QStringLiteral(KELI_PROJECT_VERSION)));
        return Calculated;
    }
    if (!opt.outDir.isEmpty())
        return runBatch(opt, QDir::currentPath());

    // Load without rewriting the source.
    Dataset ds;
    if (!loadObject(opt, opt.source, &ds, &error)) {
        err(QStringLiteral("%1: %2").arg(opt.source, error));
        return UsageOrUnreadable;
    }

    const CalcOutcome outcome = calculate(ds);
    printSummary(outcome);
    bool filesOk = true;

    // The report files of the outcome, written by core as the desktop program writes them.
    ReportFilesOptions reportOptions;
    reportOptions.report1 = opt.report1;
    reportOptions.report2 = opt.report2;
    reportOptions.errorPageAfterWarnings = opt.stopList;
    reportOptions.installedTemplates = installedTemplatesDir(QCoreApplication::applicationDirPath());
    const ReportFilesResult files = writeReportFiles(opt.workDir, ds, outcome, reportOptions);
    for (const QString &name : files.written)
        out(QStringLiteral("Записан: %1").arg(QDir(opt.workDir).filePath(name)));
    for (const QString &failure : files.failures) {
        err(failure);
        filesOk = false;
    }
    if (opt.pdf) {
        for (const QString &name : files.written) {
            if (!name.endsWith(QLatin1String(".html")))
                continue;
            QString pdf;
            if (writePagePdf(opt.workDir, name, ds.objectName, &pdf, &error)) {
                out(QStringLiteral("Записан: %1").arg(pdf));
            } else {
                err(error);
                filesOk = false;
            }
        }
    }

    if (!opt.savePath.isEmpty()) {
        const QString path = withXlsxSuffix(opt.savePath);
        // The report files of the working folder are rewritten by every run: never a dataset.
        const WorkbookResult saved =
            isReservedReportPath(QFileInfo(path).absoluteFilePath(), QDir(opt.workDir).absolutePath())
                ? WorkbookResult::failure(QStringLiteral("это файл отчетов программы, данные в него не сохраняются"))
                : saveSourceWorkbook(ds, path, opt.source);
        if (saved.ok) {
            out(QStringLiteral("Сохранен: %1").arg(path));
            if (!saved.backupPath.isEmpty())
                out(QStringLiteral("Резервная копия: %1").arg(saved.backupPath));
        } else {
            err(QStringLiteral("%1: %2").arg(path, saved.message));
            filesOk = false;
        }
    }
    if (!opt.jsonPath.isEmpty()) {
        if (writeJson(opt.jsonPath, outcome, &error)) {
            out(QStringLiteral("Записан: %1").arg(opt.jsonPath));
        } else {
            err(QStringLiteral("%1: %2").arg(opt.jsonPath, error));
            filesOk = false;
        }
    }
    return outcome.outcome == Outcome::Calculated && filesOk ? Calculated : NotCompleted;
}
