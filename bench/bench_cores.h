#pragma once
// The CPUs a benchmark runs on: all it was given, or one alone (the children it starts inherit it),
// so that one run reports the two-core and the one-core figures.

#include <sched.h>

class CoreChoice
{
public:
    CoreChoice() { m_ok = sched_getaffinity(0, sizeof m_all, &m_all) == 0; }
    ~CoreChoice() { all(); }

    int available() const { return m_ok ? CPU_COUNT(&m_all) : 1; }

    // Runs on the first CPU of the set alone; false when it cannot.
    bool one()
    {
        for (int cpu = 0; m_ok && cpu < CPU_SETSIZE; ++cpu) {
            if (!CPU_ISSET(cpu, &m_all))
                continue;
            cpu_set_t single;
            CPU_ZERO(&single);
            CPU_SET(cpu, &single);
            return sched_setaffinity(0, sizeof single, &single) == 0;
        }
        return false;
    }
    void all()
    {
        if (m_ok)
            sched_setaffinity(0, sizeof m_all, &m_all);
    }

private:
    cpu_set_t m_all;
    bool m_ok = false;
};
