// Opening the table editor on a large table: construct + panTab + show, as the dataset dialog's
// buttons do, for a table of 2,000 rows (and 500 and 4,000 to see how it grows), beside the floor of
// a bare grid of the same size made of plain items only.
//
// Usage: gui_tabl_bench [repeats]   (QT_QPA_PLATFORM=offscreen works without a display)

#include "tabl.h"

#include "core/dataset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTextStream>

#include <algorithm>

namespace {

// Intake rows of a large object, then a few rows in each release table.
keli::Dataset bigDataset(int intakeRows)
{
    keli::Dataset ds;
    const QString kinds[] = {QStringLiteral("Р"), QStringLiteral("Т"), QStringLiteral("СН"), QStringLiteral("ПХН")};
    const int tables[] = {1, 2, 3};
    const int counts[] = {intakeRows, 20, 20};
    for (int t = 0; t < 3; ++t) {
        for (int k = 0; k < counts[t]; ++k) {
            const int i = ds.appendRow(tables[t]);
            ds.name[i] = QStringLiteral("Фидер %1").arg(i + 1);
            ds.pointKind[i] = kinds[i % 4];
            ds.meterType[i] = i % 3 ? QStringLiteral("Э") : QStringLiteral("И");
            ds.meterCount[i] = 1 + i % 3;
            ds.energy[i] = 12.5 + i * 0.731;
            ds.fillFactor[i] = 0.65;
            ds.tanPhi[i] = 0.5;
            ds.ctClass[i] = 0.5;
            ds.vtClass[i] = 0.5;
            ds.meterClass[i] = 1;
            ds.verificationDate[i] = 3.21;
            ds.ctVoltage[i] = 10;
            ds.ctRatedCurrent[i] = 200;
            ds.vtVoltageLoss[i] = 0.25;
            ds.reportVoltage[i] = 10;
        }
    }
    ds.intakeCount = counts[0];
    ds.externalCount = counts[1];
    ds.ownCount = counts[2];
    return ds;
}

struct Times
{
    double openMs = 1e300;   // construct + panTab + show
    double commitMs = 1e300; // close: the grid written back
};

// The editor as the dataset dialog opens it, shown, then closed (the commit runs).
Times openEditor(keli::Dataset &ds)
{
    Times times;
    QElapsedTimer timer;
    timer.start();
    Tabl editor(ds.fileMonth, ds.fileYear, ds.periodDays, 1, true, ds.intakeCount, ds.externalCount,
                ds.ownCount, QStringLiteral("Поступление электроэнергии"), ds.name, ds.pointKind,
                ds.meterType, ds.ctClass, ds.vtClass, ds.energy, ds.tanPhi, ds.fillFactor,
                ds.vtVoltageLoss, ds.verificationDate, ds.meterCount, ds.meterClass, ds.ctVoltage,
                ds.reportVoltage, ds.ctRatedCurrent, ds.pointDays, ds.offDays, ds.tableNo, ds.spare);
    editor.panTab();
    editor.show();
    QApplication::processEvents();
    times.openMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    editor.accept();
    times.commitMs = timer.nsecsElapsed() / 1e6;
    return times;
}

// Floor: a grid of the same size with plain items in all sixteen columns, no combo boxes.
void openBareGrid(int rows)
{
    QTableWidget view(rows, 16);
    view.resize(1261, 511);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 16; ++c)
            view.setItem(r, c, new QTableWidgetItem(QString::number(r * 16 + c)));
    view.show();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTextStream out(stdout);
    out << "table editor, best of " << repeats << " (ms)\n";
    out << "rows     open: construct+panTab+show   commit on close   bare grid (floor)   open/floor\n";
    for (int rows : {500, 2000, 4000}) {
        keli::Dataset ds = bigDataset(rows);
        Times best;
        for (int r = 0; r < repeats; ++r) {
            const Times t = openEditor(ds);
            best.openMs = std::min(best.openMs, t.openMs);
            best.commitMs = std::min(best.commitMs, t.commitMs);
        }
        double floor = 1e300;
        for (int r = 0; r < repeats; ++r) {
            QElapsedTimer timer;
            timer.start();
            openBareGrid(rows);
            floor = std::min(floor, timer.nsecsElapsed() / 1e6);
        }
        out << QString::asprintf("%-8d %29.1f %17.1f %19.1f %12.1f\n", rows, best.openMs,
                                 best.commitMs, floor, best.openMs / floor);
    }
    return 0;
}
