// Printing benchmark: a generated object of 300 metering points calculated by keli-calc with its
// two report pages, with and without --pdf; reports the whole-process wall time of both (best of a
// few runs, taking turns, as the machine is shared) and their ratio. Run from the build tree:
//   bench/print_bench [--points N] [--runs R] [--keli-calc PATH]

#include "bench_child.h"
#include "bench_object.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

extern char **environ;

using namespace keli;

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
    if (!saveSourceWorkbook(generatedObject(points), source).ok) {
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
