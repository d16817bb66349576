#pragma once
// The best of several runs of a piece of work, in wall-clock milliseconds.

#include <QElapsedTimer>

#include <algorithm>
#include <functional>

inline double wallBestOf(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
