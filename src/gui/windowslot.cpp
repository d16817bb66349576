#include "windowslot.h"

#include <QDir>
#include <QStandardPaths>

namespace keli {

WindowSlot::WindowSlot()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return;
    for (int i = 0; i < kSlots; ++i) {
        auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("keli-window-%1.lock").arg(i)));
        lock->setStaleLockTime(0); // a lock of an ended КЕЛИ is stale by its process id alone
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_index = i;
            return;
        }
    }
}

} // namespace keli
