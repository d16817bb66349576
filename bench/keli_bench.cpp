// Calculation benchmark on a generated source workbook of 10,000 metering points: load, calculate,
// save, the report workbooks; beside the floor (inflating the same package parts and one memchr pass
// over them), openpyxl's load of the same file, and keli-calc --reports none --json as a whole
// process (wall time and peak memory) against both. Each write is shown beside its own floor
// (deflating at level 6 the XML it wrote): the workbook writer alone, the whole keli-calc --save
// (over the workbook it opened, and over another) and the report workbooks with the pages, each as
// the keli-calc run with it minus the run without.
// Files go to a tmpfs (/dev/shm) where there is one. Everything is measured on all the CPUs given,
// then on one alone. Ratios in one run; run from the build tree:
//   bench/keli_bench [--points N] [--no-python] [--keep COPY.xlsx]

#include "bench_child.h"
#include "bench_cores.h"
#include "bench_deflate.h"
#include "bench_floor.h"
#include "bench_object.h"
#include "bench_time.h"
#include "core/calculation.h"
#include "core/helpers.h"
#include "core/report1.h"
#include "core/report2.h"
#include "core/reportfiles.h"
#include "core/sourceworkbook.h"
#include "xlsx/xlsxdocument.h"

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

// The files and programs of one benchmark run.
struct Setup
{
    QString keliCalc;
    QString source; // the generated workbook
    QString work;   // working folder with the templates
    QString saved;  // another workbook saved over (it exists, so the save makes its backup)
    QString tmp;
    bool verbose = true; // the figures that the second pass (one core) does not repeat
    mutable int turn = 0; // of keli-calc runs, which choose the month
};

// The data sheet is written again by every save, though its content may come out the same.
const QStringList dataSheet{QStringLiteral("xl/worksheets/")};

QString ratioText(double value, double floor)
{
    return floor > 0 ? QString::number(value / floor, 'f', 2) : QStringLiteral("-");
}

void printWrite(const char *what, double ms, double floorMs, qint64 xmlBytes)
{
    std::printf("  %-36s %8.1f ms   floor %6.1f ms (deflate %.1f MiB)   ratio %s\n", what, ms, floorMs,
                xmlBytes / 1048576.0, qPrintable(ratioText(ms, floorMs)));
}

// The best of five runs of keli-calc with extra options, taken in turns with the others. Every turn
// calculates for the other of two months (10 and 11 of 2024), so that each save writes a changed
// period into every row of the workbook it saves over (a save of what a workbook already holds
// rewrites nothing).
std::vector<ChildRun> bestRuns(const Setup &s, const std::vector<QStringList> &variants, int runs = 5)
{
    std::vector<ChildRun> best(variants.size());
    for (int k = 0; k < runs; ++k) {
        const QStringList month{QStringLiteral("--month"), QString::number(11 - s.turn++ % 2)};
        for (size_t v = 0; v < variants.size(); ++v) {
            const ChildRun r = runChild(QStringList{s.keliCalc} + month + variants[v] + QStringList{s.source},
                                        QDir(s.tmp).filePath(QStringLiteral("cli.txt")));
            if (!r.ok || r.status != 0) {
                std::printf("  keli-calc %s failed (status %d): %s\n", qPrintable(variants[v].join(' ')),
                            r.status, r.output.constData());
                return {};
            }
            if (!best[v].ok || r.wallMs < best[v].wallMs)
                best[v] = r;
        }
    }
    return best;
}

// The workbook writer alone: the source opened with every data cell written with another value
// (numbers one more, texts one character longer), then saved, best of five; beside the deflating
// of the sheet it writes.
void measureWriter(const Setup &s)
{
    QXlsx::Document doc(s.source);
    for (int r = 1, last = doc.lastRow(); r <= last; ++r) {
        for (int c = 1; c <= 20; ++c) {
            const QVariant v = doc.read(r, c);
            doc.write(r, c, v.userType() == QMetaType::Double ? QVariant(v.toDouble() + 1) : QVariant(v.toString() + '-'));
        }
    }
    const QString path = QDir(s.tmp).filePath(QStringLiteral("writer.xlsx"));
    const double ms = wallBestOf(5, [&] { doc.saveAs(path); });
    const WrittenXml xml = rewrittenXml(path, s.source, dataSheet);
    printWrite("workbook writer alone (saveAs)", ms, deflateFloorMs(xml), xml.bytes);
}

// Whole keli-calc runs: without files, with --save over an existing workbook (backup, fsync,
// read-back), with both report workbooks and pages. Each write is the run with it minus the run
// without, beside the deflating of what it wrote.
ChildRun measureProcesses(const Setup &s, double floorMs)
{
    double startMs = 1e300;
    for (int k = 0; k < 5; ++k) {
        const ChildRun r = runChild({s.keliCalc, QDir(s.tmp).filePath(QStringLiteral("missing.xlsx"))},
                                    QDir(s.tmp).filePath(QStringLiteral("start.txt")));
        if (r.ok)
            startMs = std::min(startMs, r.wallMs);
    }
    const QStringList bare{QStringLiteral("--no-stoplist"), QStringLiteral("--workdir"), s.work,
                           QStringLiteral("--json"), QDir(s.tmp).filePath(QStringLiteral("out.json"))};
    const QStringList none{QStringLiteral("--reports"), QStringLiteral("none")};
    const QStringList saveOver{QStringLiteral("--save"), s.source};
    const QStringList saveOther{QStringLiteral("--save"), s.saved};
    // The reports last: a run without them removes those of the run before. The second save over
    // the opened workbook finds it holding the period already.
    const std::vector<ChildRun> runs = bestRuns(
        s, {none + bare, none + bare + saveOver, none + bare + saveOver, none + bare + saveOther, bare});
    if (runs.empty())
        return ChildRun();
    const ChildRun &cli = runs[0];
    std::printf("  keli-calc --reports none --json %8.1f ms wall, %.1f ms CPU, peak %.1f MiB (goal <= 32)\n",
                cli.wallMs, cli.cpuMs, cli.peakKiB / 1024.0);
    std::printf("  process start (keli-calc, missing file) %.1f ms; keli-calc / (3 x floor + start) = %.2f "
                "(goal <= 1)\n", startMs, cli.wallMs / (3 * floorMs + startMs));

    // Saved over the workbook it was opened from (the usual save), and over another one.
    const WrittenXml saved = rewrittenXml(s.source, s.source, dataSheet);
    const double savedFloor = deflateFloorMs(saved);
    printWrite("keli-calc --save (run minus run without)", runs[1].wallMs - cli.wallMs, savedFloor, saved.bytes);
    std::printf("    --save run peak %.1f MiB, CPU %.1f ms more than without\n", runs[1].peakKiB / 1024.0,
                runs[1].cpuMs - cli.cpuMs);
    printWrite("  over another workbook", runs[3].wallMs - cli.wallMs, savedFloor, saved.bytes);
    std::printf("    --save of what the workbook holds already (nothing rewritten): %.1f ms\n",
                runs[2].wallMs - cli.wallMs);
    const QDir work(s.work);
    const WrittenXml books = rewrittenXml(work.filePath(QStringLiteral("Otchet1.xlsx")),
                                          work.filePath(QStringLiteral("otchet1Empty.xlsx")))
                             + rewrittenXml(work.filePath(QStringLiteral("result.xlsx")),
                                            work.filePath(QStringLiteral("otchet2Empty.xlsx")));
    qint64 pageBytes = 0;
    for (const QFileInfo &page : work.entryInfoList({QStringLiteral("*.html")}, QDir::Files))
        pageBytes += page.size();
    printWrite("report workbooks + pages (run minus)", runs[4].wallMs - cli.wallMs, deflateFloorMs(books),
               books.bytes);
    std::printf("    (the floor is the workbooks' XML; the pages, %.1f MiB, are written as they are); "
                "run peak %.1f MiB\n", pageBytes / 1048576.0, runs[4].peakKiB / 1024.0);
    return cli;
}

struct Figures
{
    double loadMs = 0;
    ChildRun cli; // keli-calc --reports none --json
};

// In-process figures and whole runs, on the CPUs this process may use now.
Figures measure(const Setup &s)
{
    Dataset ds;
    const double load = wallBestOf(5, [&] {
        Dataset fresh;
        fresh.workbookPath = s.source;
        fresh.calcMonth = 10;
        fresh.calcYear = 2024;
        readXLSwriteDB(fresh);
        ds = fresh;
    });
    CalcOutcome outcome;
    const double calc = wallBestOf(5, [&] { outcome = evaluate(ds); });
    QFile::copy(s.source, s.saved);
    // Every save writes other energies (column L), as a month's new readings do.
    double added = 0;
    const double save = wallBestOf(3, [&] {
        Dataset changed = ds;
        added += 1;
        for (double &energy : changed.energy)
            energy += added;
        saveSourceWorkbook(changed, s.saved);
    });
    ReportFilesOptions reports;
    reports.errorPageAfterWarnings = false;
    ReportFilesResult written;
    const double books = wallBestOf(3, [&] { written = writeReportFiles(s.work, ds, outcome, reports); });
    const double pages = wallBestOf(3, [&] {
        writeReportPage(s.work, ds, report1Page(ds, outcome.results), reports.calculatedAt);
        writeReportPage(s.work, ds, report2Page(ds, outcome.results), reports.calculatedAt);
    });
    qint64 tags = 0;
    const double floor = wallBestOf(5, [&] { tags = inflateAndTouch(s.source); });

    if (s.verbose)
        std::printf("  outcome %s, %d errors, %d warnings; report files %lld written, %lld failed\n",
                    qPrintable(outcomeName(outcome.outcome)), outcome.errorCount, outcome.warningCount,
                    static_cast<long long>(written.written.size()), static_cast<long long>(written.failures.size()));
    std::printf("  floor (inflate + memchr, %lld tags):   %8.1f ms\n", static_cast<long long>(tags), floor);
    std::printf("  load                        %8.1f ms   load / floor = %.2f\n", load, load / floor);
    std::printf("  calculation                 %8.1f ms   calc / load  = %.3f\n", calc, calc / load);
    std::printf("  save (over another workbook) %7.1f ms   save / load  = %.2f\n", save, save / load);
    std::printf("  reports (pages + workbooks) %8.1f ms   reports / load = %.2f (pages alone %.1f ms)\n", books,
                books / load, pages);
    measureWriter(s);
    return {load, measureProcesses(s, floor)};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int points = std::max(1, argValue(args, QStringLiteral("--points"), QStringLiteral("10000")).toInt());
    const bool withPython = !args.contains(QStringLiteral("--no-python"))
                            && QFile::exists(QStringLiteral("/usr/bin/python3"));
    const QString buildDir = QDir(app.applicationDirPath()).absoluteFilePath(QStringLiteral(".."));
    const QDir templates(QDir(buildDir).absoluteFilePath(QStringLiteral("templates")));

    // On a tmpfs the disk does not count: what is measured is the program's own work.
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir tmp((QDir(shm).exists() ? shm : QDir::tempPath()) + QStringLiteral("/keli_bench-XXXXXX"));
    Setup s;
    s.keliCalc = QDir(buildDir).absoluteFilePath(QStringLiteral("src/cli/keli-calc"));
    s.tmp = tmp.path();
    s.source = tmp.filePath(QStringLiteral("source.xlsx"));
    s.saved = tmp.filePath(QStringLiteral("saved.xlsx"));
    s.work = tmp.filePath(QStringLiteral("work"));
    if (!saveSourceWorkbook(generatedObject(points), s.source).ok) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(s.source));
        return 1;
    }
    QDir().mkpath(s.work);
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QFile::copy(templates.filePath(name), QDir(s.work).filePath(name));
    const QString keep = argValue(args, QStringLiteral("--keep"), QString());
    if (!keep.isEmpty())
        QFile::copy(s.source, keep);
    std::printf("keli_bench: %d metering points, source workbook %lld bytes, files in %s\n", points,
                static_cast<long long>(QFileInfo(s.source).size()), qPrintable(s.tmp));

    CoreChoice cores;
    std::printf("On %d CPUs:\n", cores.available());
    const Figures twoCores = measure(s);
    const double load = twoCores.loadMs;
    const ChildRun &cli = twoCores.cli;
    if (cores.available() > 1 && cores.one()) {
        std::printf("On one CPU:\n");
        s.verbose = false;
        measure(s);
        cores.all();
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
            const ChildRun r = runChild({QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"), script, s.source},
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
