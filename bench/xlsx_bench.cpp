// Workbook layer benchmark: writing and reading a 10,000 x 20 sheet, beside the floors (for
// reading, inflating the same parts and one memchr pass over them; for writing, deflating at level 6
// the XML written) and openpyxl's load of the same file. Figures are ratios taken in one run; each
// time is CPU time, the best of several runs taken in turns; the save alone also as wall time, on all
// the CPUs given and on one.
#include "bench_cores.h"
#include "bench_deflate.h"
#include "bench_floor.h"
#include "bench_time.h"
#include "xlsx/xlsxdocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int rows = 10000;
constexpr int columns = 20;
constexpr int textColumns = 4;

// CPU time of this process, in ms, all its threads (a large part is inflated on a thread of its
// own): the machines here are shared, and wall time would measure the neighbours as much as the work.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double bestOf(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuMs();
        work();
        best = std::min(best, cpuMs() - start);
    }
    return best;
}

void fillSheet(QXlsx::Document &doc)
{
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= columns; ++c) {
            if (c <= textColumns)
                doc.write(r, c, QStringLiteral("Точка %1-%2").arg(r).arg(c));
            else
                doc.write(r, c, r * 1.25 + c / 7.0);
        }
    }
}

bool writeSheet(const QString &path)
{
    QXlsx::Document doc;
    fillSheet(doc);
    return doc.saveAs(path);
}

// The save of a filled new document alone (generating and deflating every part), beside the
// deflating of what it wrote.
void reportSave(const char *cpus, const QString &path)
{
    QXlsx::Document doc;
    fillSheet(doc);
    const double cpu = bestOf(5, [&] { doc.saveAs(path); });
    const double wall = wallBestOf(5, [&] { doc.saveAs(path); });
    const WrittenXml xml = rewrittenXml(path);
    const double floor = deflateFloorMs(xml);
    std::printf("save alone (%s): %.1f ms CPU, %.1f ms wall; floor (deflate %.1f MiB at level 6) %.1f ms; "
                "save / floor = %.2f wall (goal <= 1.5), %.2f CPU\n",
                cpus, cpu, wall, xml.bytes / 1048576.0, floor, wall / floor, cpu / floor);
}

double readSheet(const QString &path)
{
    QXlsx::Document doc(path);
    double sum = 0;
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= columns; ++c) {
            const QVariant v = doc.read(r, c);
            sum += v.userType() == QMetaType::Double ? v.toDouble() : v.toString().size();
        }
    }
    return sum;
}

// Runs Debian's python on code with path as its argument; stdout, or empty on failure.
QByteArray python(const QString &code, const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), code, path});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

double openpyxlLoadMs(const QString &path)
{
    const QByteArray out = python(QStringLiteral("import sys, time, openpyxl\n"
                                                 "t = time.process_time()\n"
                                                 "wb = openpyxl.load_workbook(sys.argv[1])\n"
                                                 "print((time.process_time() - t) * 1000)\n"),
                                  path);
    return out.isEmpty() ? -1 : out.trimmed().toDouble();
}

bool xlsxwriterCopy(const QString &path)
{
    return !python(QStringLiteral("import sys, xlsxwriter\n"
                                  "wb = xlsxwriter.Workbook(sys.argv[1])\n"
                                  "ws = wb.add_worksheet('Sheet1')\n"
                                  "for r in range(1, %1 + 1):\n"
                                  "    for c in range(1, %2 + 1):\n"
                                  "        ws.write(r - 1, c - 1, 'Точка %d-%d' % (r, c) if c <= %3 else r * 1.25 + c / 7.0)\n"
                                  "wb.close()\n"
                                  "print('done')\n")
                        .arg(rows)
                        .arg(columns)
                        .arg(textColumns),
                    path)
                .isEmpty();
}

void report(const char *what, const QString &path, bool withOpenpyxl)
{
    // Taken in turns, so that a busy moment of the machine falls on all alike; the best of each.
    volatile double sink = 0;
    volatile qint64 tokens = 0;
    double read = 1e300, floor = 1e300, py = 1e300;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 3; ++i) {
            read = std::min(read, bestOf(1, [&] { sink = sink + readSheet(path); }));
            floor = std::min(floor, bestOf(1, [&] { tokens = tokens + inflateAndTouch(path); }));
        }
        if (withOpenpyxl) {
            const double ms = openpyxlLoadMs(path);
            py = ms > 0 ? std::min(py, ms) : py;
        }
    }
    std::printf("%s (%.1f MiB file)\n", what, QFileInfo(path).size() / 1048576.0);
    std::printf("  read (open + 200,000 reads):  %8.1f ms\n", read);
    std::printf("  floor (inflate + memchr):     %8.1f ms   read / floor = %.2f\n", floor, read / floor);
    if (py < 1e300)
        std::printf("  openpyxl load_workbook:       %8.1f ms   openpyxl / read = %.1f\n", py, py / read);
    else if (withOpenpyxl)
        std::printf("  openpyxl: not available\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool withOpenpyxl = !app.arguments().contains(QStringLiteral("--no-python"));
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.xlsx"));
    std::printf("Workbook layer, %d x %d sheet (%d text columns); CPU time, best of repeated runs\n", rows, columns,
                textColumns);
    const double write = bestOf(3, [&] { writeSheet(ours); });
    std::printf("write (new document, 200,000 writes, save): %.1f ms\n", write);
    CoreChoice cores;
    reportSave(qPrintable(QStringLiteral("%1 CPUs").arg(cores.available())), ours);
    if (cores.available() > 1 && cores.one()) {
        reportSave("one CPU", ours);
        cores.all();
    }
    report("our file (inline strings)", ours, withOpenpyxl);
    const QString theirs = dir.filePath(QStringLiteral("xlsxwriter.xlsx"));
    if (withOpenpyxl && xlsxwriterCopy(theirs))
        report("xlsxwriter's file (shared strings)", theirs, withOpenpyxl);
    return 0;
}
