// Printing benchmark: a generated object of 300 metering points calculated by keli-calc with its
// two report pages, with and without --pdf; reports the whole-process wall time of both (best of a
// few runs, taking turns, as the machine is shared) and their ratio. Run from the build tree:
//   bench/print_bench [--points N] [--runs R] [--keli-calc PATH]

#include "bench_child.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

extern char **environ;

using namespace keli;

namespace {

// A tenth intake feeders, three tenths external release, the rest own release; the intake carries
// the releases plus three per cent.
Dataset object(int points)
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 10;
    ds.calcYear = ds.fileYear = 2024;
    ds.periodDays = k_day(10, 2024);
    ds.objectName = QStringLiteral("ПС 110/10 кВ Печатная");
    ds.intakeCount = std::max(1, points / 10);
    ds.externalCount = points * 3 / 10;
    ds.ownCount = points - ds.intakeCount - ds.externalCount;
    ds.techLosses = points * 4.0;
    ds.techLossErrorPct = 10;
    ds.permissibleCommercialLoss = points * 0.5;
    const int counts[3] = {ds.intakeCount, ds.externalCount, ds.ownCount};
    double releases = 0;
    for (int t = 1; t <= 3; ++t) {
        for (int k = 0; k < counts[t - 1]; ++k) {
            const int i = ds.appendRow(t);
            ds.name[i] = QStringLiteral("Фидер %1-%2").arg(t).arg(k + 1);
            ds.pointKind[i] = QStringLiteral("Р");
            ds.meterType[i] = k % 5 ? QStringLiteral("Э") : QStringLiteral("И");
            ds.meterCount[i] = 1;
            ds.fillFactor[i] = 0.5 + k % 40 / 100.0;
            ds.tanPhi[i] = k % 50 / 100.0;
            ds.ctClass[i] = ds.vtClass[i] = ds.meterClass[i] = 0.5;
            ds.vtVoltageLoss[i] = 0.25;
            ds.verificationDate[i] = 1 + k % 12 + 0.2;
            ds.ctVoltage[i] = ds.reportVoltage[i] = 10;
            ds.ctRatedCurrent[i] = 300;
            ds.energy[i] = t == 1 ? 0.0 : 300 + k % 300;
            releases += ds.energy[i];
        }
    }
    for (int i = 0; i < ds.intakeCount; ++i) {
        ds.energy[i] = round(releases * 1.03 / ds.intakeCount, 3);
        ds.ctRatedCurrent[i] = 3000;
    }
    return ds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int points = argValue(args, QStringLiteral("--points"), QStringLiteral("300")).toInt();
    const int runs = argValue(args, QStringLiteral("--runs"), QStringLiteral("7")).toInt();
    const QString buildDir = QDir(app.applicationDirPath()).absoluteFilePath(QStringLiteral(".."));
    const QString keliCalc = QDir(buildDir).absoluteFilePath(
        argValue(args, QStringLiteral("--keli-calc"), QStringLiteral("src/cli/keli-calc")));
    const QDir templates(QDir(buildDir).absoluteFilePath(QStringLiteral("templates")));

    QTemporaryDir tmp;
    const QString source = tmp.filePath(QStringLiteral("source.xlsx"));
    if (!saveSourceWorkbook(object(points), source).ok) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    const QString work = tmp.filePath(QStringLiteral("work"));
    QDir().mkpath(work);
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QFile::copy(templates.filePath(name), QDir(work).filePath(name));

    const QStringList plain{keliCalc, QStringLiteral("--no-stoplist"), QStringLiteral("--workdir"), work, source};
    QStringList withPdf = plain;
    withPdf.insert(1, QStringLiteral("--pdf"));
    double without = 1e300, with = 1e300;
    bool ok = true;
    for (int k = 0; k < runs; ++k) {
        const ChildRun a = runChild(plain);
        const ChildRun b = runChild(withPdf);
        ok = ok && a.ok && b.ok && a.status == 0 && b.status == 0;
        without = std::min(without, a.wallMs);
        with = std::min(with, b.wallMs);
    }
    std::printf("print_bench: %d metering points, best of %d runs%s\n", points, runs, ok ? "" : " (A RUN FAILED)");
    std::printf("  keli-calc without --pdf   %8.1f ms\n", without);
    std::printf("  keli-calc with --pdf      %8.1f ms   with / without = %.1f (goal: at most 10)\n", with,
                with / without);
    return ok ? 0 : 1;
}
