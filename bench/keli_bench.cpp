// Calculation benchmark on a generated source workbook of 10,000 metering points: load, calculate,
// save, the report workbooks; beside the floor (inflating the same package parts and one memchr pass
// over them), openpyxl's load of the same file, and keli-calc --reports none --json as a whole
// process (wall time and peak memory) against both. Ratios in one run; run from the build tree:
//   bench/keli_bench [--points N] [--no-python] [--keep COPY.xlsx]

#include "bench_child.h"
#include "bench_floor.h"
#include "bench_object.h"
#include "core/calculation.h"
#include "core/helpers.h"
#include "core/reportfiles.h"
#include "core/sourceworkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>


#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

extern char **environ;

using namespace keli;

namespace {

double bestOf(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int points = 10000;
    const int at = args.indexOf(QStringLiteral("--points"));
    if (at > 0 && at + 1 < args.size())
        points = std::max(1, args[at + 1].toInt());
    const bool withPython = !args.contains(QStringLiteral("--no-python"))
                            && QFile::exists(QStringLiteral("/usr/bin/python3"));
    const QString buildDir = QDir(app.applicationDirPath()).absoluteFilePath(QStringLiteral(".."));
    const QString keliCalc = QDir(buildDir).absoluteFilePath(QStringLiteral("src/cli/keli-calc"));
    const QDir templates(QDir(buildDir).absoluteFilePath(QStringLiteral("templates")));

    QTemporaryDir tmp;
    const QString source = tmp.filePath(QStringLiteral("source.xlsx"));
    if (!saveSourceWorkbook(generatedObject(points), source).ok) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    const QString work = tmp.filePath(QStringLiteral("work"));
    QDir().mkpath(work);
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QFile::copy(templates.filePath(name), QDir(work).filePath(name));
    const int keep = args.indexOf(QStringLiteral("--keep"));
    if (keep > 0 && keep + 1 < args.size())
        QFile::copy(source, args[keep + 1]);
    std::printf("keli_bench: %d metering points, source workbook %lld bytes\n", points,
                static_cast<long long>(QFileInfo(source).size()));

    Dataset ds;
    ds.workbookPath = source;
    ds.calcMonth = 10;
    ds.calcYear = 2024;
    const double load = bestOf(5, [&] {
        Dataset fresh;
        fresh.workbookPath = source;
        fresh.calcMonth = 10;
        fresh.calcYear = 2024;
        readXLSwriteDB(fresh);
        ds = fresh;
    });
    CalcOutcome outcome;
    const double calc = bestOf(5, [&] { outcome = evaluate(ds); });
    const double save = bestOf(3, [&] { saveSourceWorkbook(ds, tmp.filePath(QStringLiteral("saved.xlsx"))); });
    ReportFilesOptions reports;
    reports.errorPageAfterWarnings = false;
    ReportFilesResult written;
    const double books = bestOf(3, [&] { written = writeReportFiles(work, ds, outcome, reports); });
    qint64 tags = 0;
    const double floor = bestOf(5, [&] { tags = inflateAndTouch(source); });

    std::printf("  outcome %s, %d errors, %d warnings; report files %lld written, %lld failed\n",
                qPrintable(outcomeName(outcome.outcome)), outcome.errorCount, outcome.warningCount,
                static_cast<long long>(written.written.size()), static_cast<long long>(written.failures.size()));
    std::printf("  floor (inflate + memchr, %lld tags):   %8.1f ms\n", static_cast<long long>(tags), floor);
    std::printf("  load                        %8.1f ms   load / floor = %.2f\n", load, load / floor);
    std::printf("  calculation                 %8.1f ms   calc / load  = %.3f\n", calc, calc / load);
    std::printf("  save (source workbook)      %8.1f ms   save / load  = %.2f\n", save, save / load);
    std::printf("  reports (pages + workbooks) %8.1f ms   reports / load = %.2f\n", books, books / load);

    // Process start: the same program refusing a missing workbook, best of five.
    double startMs = 1e300;
    for (int k = 0; k < 5; ++k) {
        const ChildRun r = runChild({keliCalc, tmp.filePath(QStringLiteral("missing.xlsx"))},
                                    tmp.filePath(QStringLiteral("start.txt")));
        if (r.ok)
            startMs = std::min(startMs, r.wallMs);
    }
    ChildRun cli;
    for (int k = 0; k < 5; ++k) {
        const ChildRun r = runChild({keliCalc, QStringLiteral("--reports"), QStringLiteral("none"),
                                     QStringLiteral("--no-stoplist"), QStringLiteral("--workdir"), work,
                                     QStringLiteral("--json"), tmp.filePath(QStringLiteral("out.json")), source},
                                    tmp.filePath(QStringLiteral("cli.txt")));
        if (!r.ok || r.status != 0) {
            std::printf("  keli-calc failed (status %d): %s\n", r.status, r.output.constData());
            break;
        }
        if (!cli.ok || r.wallMs < cli.wallMs)
            cli = r;
    }
    if (cli.ok) {
        std::printf("  keli-calc --reports none --json %8.1f ms wall, %.1f ms CPU, peak %.1f MiB (goal <= 32)\n",
                    cli.wallMs, cli.cpuMs, cli.peakKiB / 1024.0);
        std::printf("  process start (keli-calc, missing file) %.1f ms; keli-calc / (3 x floor + start) = %.2f "
                    "(goal <= 1)\n", startMs, cli.wallMs / (3 * floor + startMs));
    }

    if (withPython) {
        const QString script = QStringLiteral(
            "import sys, time\n"
            "import openpyxl\n"
            "t1, c1 = time.perf_counter(), time.process_time()\n"
            "wb = openpyxl.load_workbook(sys.argv[1])\n"
            "t2, c2 = time.perf_counter(), time.process_time()\n"
            "print((t2 - t1) * 1000, (c2 - c1) * 1000)\n");
        ChildRun py;
        double loadMs = 1e300, loadCpuMs = 1e300;
        for (int k = 0; k < 3; ++k) {
            const ChildRun r = runChild({QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"), script, source},
                                        tmp.filePath(QStringLiteral("py.txt")));
            if (!r.ok || r.status != 0)
                break;
            py = r;
            const QList<QByteArray> figures = r.output.trimmed().split(' ');
            loadMs = std::min(loadMs, figures.value(0).toDouble());
            loadCpuMs = std::min(loadCpuMs, figures.value(1).toDouble());
        }
        if (py.ok) {
            std::printf("  openpyxl load_workbook      %8.1f ms wall, %.1f ms CPU (process %.1f ms wall, "
                        "peak %.1f MiB)\n", loadMs, loadCpuMs, py.wallMs, py.peakKiB / 1024.0);
            std::printf("  load / openpyxl load = %.3f\n", load / loadMs);
            if (cli.ok)
                std::printf("  keli-calc process / openpyxl load: wall %.3f (goal <= 0.06), CPU %.3f\n",
                            cli.wallMs / loadMs, cli.cpuMs / loadCpuMs);
        } else {
            std::printf("  openpyxl: not available\n");
        }
    }
    return 0;
}
