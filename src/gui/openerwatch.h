#pragma once
// Starts the program that is to open a workbook and listens, for a while, for it failing: a
// spreadsheet program or xdg-open that starts but cannot open the file ends at once with an error
// status, which would otherwise go unnoticed.

#include <QString>
#include <QStringList>

#include <functional>

namespace keli {

// How long after its start an ending with an error status counts as "could not open it", ms.
constexpr int kOpenerWatchMs = 60000;

// Starts program with arguments in folder, its output going where the program's own goes. False
// when it cannot be started. When it ends within kOpenerWatchMs with a non-zero status or by a
// crash, failed(exitCode) is called (-1 for a crash). The program is never stopped by this
// process, not even when it ends first.
bool startWatched(const QString &program, const QStringList &arguments, const QString &folder,
                  std::function<void(int exitCode)> failed);

} // namespace keli
