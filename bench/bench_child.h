#pragma once
// Runs a program to its end as a benchmark measures it: wall time, CPU time and peak memory of that
// process alone.

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <vector>

struct ChildRun
{
    bool ok = false;    // started and exited
    int status = -1;    // exit status
    double wallMs = 0;
    double cpuMs = 0;   // user + system, every thread
    long peakKiB = 0;
    QByteArray output;  // standard output, when it went to a file
};

// Standard error is discarded; standard output goes to outputFile, or is discarded when none is
// named. With an output file the peak comes from /usr/bin/time when it is there (a small parent, so
// the figure is the program's own); otherwise from wait4, whose figure may include pages of this
// process shared with the child before its exec.
inline ChildRun runChild(QStringList command, const QString &outputFile = QString())
{
    ChildRun r;
    const QString timeFile = outputFile + QStringLiteral(".time");
    const bool viaTime = !outputFile.isEmpty() && QFile::exists(QStringLiteral("/usr/bin/time"));
    if (viaTime)
        command = QStringList{QStringLiteral("/usr/bin/time"), QStringLiteral("-f"), QStringLiteral("%M"),
                              QStringLiteral("-o"), timeFile} + command;
    std::vector<QByteArray> storage;
    for (const QString &a : command)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outputFile.isEmpty() ? QByteArray("/dev/null") : outputFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage = {};
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid)
        return r;
    r.wallMs = t.nsecsElapsed() / 1e6;
    r.ok = WIFEXITED(status);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakKiB = usage.ru_maxrss;
    r.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
              + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    QFile times(timeFile);
    if (viaTime && times.open(QIODevice::ReadOnly))
        r.peakKiB = times.readAll().trimmed().split('\n').last().trimmed().toLong();
    QFile f(outputFile);
    if (!outputFile.isEmpty() && f.open(QIODevice::ReadOnly))
        r.output = f.readAll();
    return r;
}

// The value after option `name` on a benchmark's command line, or fallback.
inline QString argValue(const QStringList &args, const QString &name, const QString &fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}
