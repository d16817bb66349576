// Batch benchmark: 500 generated objects of 20 to 200 metering points, calculated by one
// `keli-calc --out` with --jobs 1 and with every core, against one keli-calc process per object
// (the shell loop the batch replaces). Reports wall and CPU time (best of a few runs; the machine
// is shared) and the peak memory of the batch for 100 and for all objects. Run from the build tree:
//   bench/batch_bench [--objects N] [--runs R] [--keli-calc PATH] [--keep DIR (only write the objects)]

#include "bench_child.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>


#include <algorithm>
#include <cstdio>
#include <vector>

extern char **environ;

using namespace keli;

namespace {

// A plausible object of `points` metering points; seed varies names, classes and loads.
Dataset object(int number, int points, unsigned seed)
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 10;
    ds.calcYear = ds.fileYear = 2024;
    ds.periodDays = k_day(10, 2024);
    ds.objectName = QStringLiteral("ТП-10/0,4 кВ №%1").arg(number);
    ds.intakeCount = std::max(1, points / 10);
    ds.externalCount = points * 3 / 10;
    ds.ownCount = points - ds.intakeCount - ds.externalCount;
    ds.techLosses = points * 4.0;
    ds.techLossErrorPct = 10;
    ds.permissibleCommercialLoss = points * 0.5;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(range));
    };
    const int counts[3] = {ds.intakeCount, ds.externalCount, ds.ownCount};
    double releases = 0;
    for (int t = 1; t <= 3; ++t) {
        for (int k = 0; k < counts[t - 1]; ++k) {
            const int i = ds.appendRow(t);
            ds.name[i] = QStringLiteral("Фидер %1-%2").arg(t).arg(k + 1);
            ds.pointKind[i] = t == 1 || next(4) ? QStringLiteral("Р") : QStringLiteral("СН");
            ds.meterType[i] = next(5) == 0 ? QStringLiteral("И") : QStringLiteral("Э");
            ds.meterCount[i] = 1;
            ds.fillFactor[i] = 0.5 + next(40) / 100.0;
            ds.tanPhi[i] = next(50) / 100.0;
            ds.ctClass[i] = ds.vtClass[i] = 0.5;
            ds.meterClass[i] = next(2) ? 0.5 : 1.0;
            ds.vtVoltageLoss[i] = 0.25;
            ds.verificationDate[i] = 1 + next(12) + (15 + next(9)) / 100.0;
            ds.ctVoltage[i] = ds.reportVoltage[i] = 10;
            ds.ctRatedCurrent[i] = 300;
            ds.energy[i] = t == 1 ? 0.0 : 300 + next(300);
            releases += ds.energy[i];
        }
    }
    const double losses = 1.02 + next(4) / 100.0; // some objects end outside the permissible range
    for (int i = 0; i < ds.intakeCount; ++i) {
        ds.energy[i] = round(releases * losses / ds.intakeCount, 3);
        ds.ctRatedCurrent[i] = 3000;
    }
    return ds;
}

struct Timing
{
    double wallMs = 1e300;
    double cpuMs = 1e300;
    long peakKiB = 0;
    bool ok = true;
};

void keepBest(Timing &best, double wallMs, double cpuMs, long peakKiB, bool ok)
{
    best.wallMs = std::min(best.wallMs, wallMs);
    best.cpuMs = std::min(best.cpuMs, cpuMs);
    best.peakKiB = std::max(best.peakKiB, peakKiB);
    best.ok = best.ok && ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int objects = argValue(args, QStringLiteral("--objects"), QStringLiteral("500")).toInt();
    const int runs = argValue(args, QStringLiteral("--runs"), QStringLiteral("3")).toInt();
    const QString keliCalc = QDir(app.applicationDirPath())
                                 .absoluteFilePath(argValue(args, QStringLiteral("--keli-calc"),
                                                            QStringLiteral("../src/cli/keli-calc")));
    const QString templates = QDir(app.applicationDirPath()).absoluteFilePath(QStringLiteral("../templates"));

    QTemporaryDir tmp;
    const QString keep = argValue(args, QStringLiteral("--keep"), QString());
    const QDir sources(keep.isEmpty() ? tmp.filePath(QStringLiteral("sources")) : keep);
    const QDir work(tmp.filePath(QStringLiteral("work")));
    QDir().mkpath(sources.path());
    QDir().mkpath(work.path());
    for (const QString &name : QDir(templates).entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QFile::copy(QDir(templates).filePath(name), work.filePath(name));
    QStringList files;
    long points = 0;
    unsigned seed = 2024;
    for (int k = 0; k < objects; ++k) {
        seed = seed * 69069u + 1u;
        const int n = 20 + int((seed >> 8) % 181u);
        points += n;
        const QString path = sources.filePath(QStringLiteral("ТП_%1.xlsx").arg(k + 1, 3, 10, QLatin1Char('0')));
        if (!saveSourceWorkbook(object(k + 1, n, seed), path).ok) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        files << path;
    }
    if (!keep.isEmpty())
        return 0;
    std::printf("%d objects, %ld metering points (%.0f per object), %d cores, best of %d runs\n", objects,
                points, double(points) / objects, QThread::idealThreadCount(), runs);

    // The three ways take turns, so that a busy spell of the shared machine falls on all of them.
    // Outputs stay until the end: deleting thousands of files slows the next run's file creation.
    int outputs = 0;
    const auto batch = [&](Timing &best, int jobs, const QStringList &what) {
        QStringList command = {keliCalc, QStringLiteral("--workdir"), work.path(), QStringLiteral("--out"),
                               tmp.filePath(QStringLiteral("out%1").arg(outputs++))};
        if (jobs > 0)
            command << QStringLiteral("--jobs") << QString::number(jobs);
        const ChildRun c = runChild(command + what);
        keepBest(best, c.wallMs, c.cpuMs, c.peakKiB, c.status == 0);
    };
    Timing separate, one, all, hundred;
    for (int r = 0; r < runs; ++r) {
        double wall = 0, cpu = 0;
        long peak = 0;
        bool ok = true;
        for (const QString &f : files) {
            const ChildRun c = runChild({keliCalc, QStringLiteral("--workdir"), work.path(), f});
            wall += c.wallMs;
            cpu += c.cpuMs;
            peak = std::max(peak, c.peakKiB);
            ok = ok && c.status == 0;
        }
        keepBest(separate, wall, cpu, peak, ok);
        batch(one, 1, {sources.path()});
        batch(all, 0, {sources.path()});
    }
    batch(hundred, 0, files.mid(0, std::min(100, objects)));

    const auto line = [&](const char *what, const Timing &t) {
        std::printf("%-34s wall %8.0f ms  cpu %8.0f ms  peak %6.1f MiB  wall/separate %.3f  cpu/separate %.3f%s\n",
                    what, t.wallMs, t.cpuMs, t.peakKiB / 1024.0, t.wallMs / separate.wallMs,
                    t.cpuMs / separate.cpuMs, t.ok ? "" : "  (some object failed)");
    };
    line("separate keli-calc runs", separate);
    line("batch --jobs 1", one);
    line("batch, every core", all);
    std::printf("%-34s peak %6.1f MiB\n", "batch, every core, 100 objects", hundred.peakKiB / 1024.0);
    std::printf("goal: batch with every core at most 0.35 of the separate runs (wall): %s\n",
                all.wallMs <= 0.35 * separate.wallMs ? "met" : "NOT met");
    return 0;
}
