#include "openerwatch.h"

#include <QElapsedTimer>
#include <QProcess>

#include <memory>

namespace keli {

bool startWatched(const QString &program, const QStringList &arguments, const QString &folder,
                  std::function<void(int exitCode)> failed)
{
    // Without a parent, and deleted only once the program has ended: deleting a QProcess stops
    // its program, and the spreadsheet must outlive the window that started it.
    auto *process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    process->setWorkingDirectory(folder);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    process->closeWriteChannel(); // nothing to read on its input
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                     [process, started, failed](int exitCode, QProcess::ExitStatus status) {
                         const bool error = status == QProcess::CrashExit || exitCode != 0;
                         if (error && started->elapsed() < kOpenerWatchMs && failed)
                             failed(status == QProcess::CrashExit ? -1 : exitCode);
                         process->deleteLater();
                     });
    return true;
}

} // namespace keli
