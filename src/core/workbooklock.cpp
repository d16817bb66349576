#include "core/workbooklock.h"

#include "core/sourceworkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace keli {

namespace {

QString lockBeside(const QString &path, const QString &prefix)
{
    const QFileInfo info(path);
    return info.absoluteDir().filePath(prefix + info.fileName() + QLatin1Char('#'));
}

QString spreadsheetLockPath(const QString &path) { return lockBeside(path, QStringLiteral(".~lock.")); }
QString keliLockPath(const QString &path) { return lockBeside(path, QStringLiteral(".~keli.")); }

QString userName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

// The contents of our lock: user, computer, process.
QByteArray ownLockText()
{
    return QStringLiteral("%1,%2,%3\n")
        .arg(userName(), QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid())
        .toUtf8();
}

// "user на компьютере host" of the КЕЛИ lock of path that another live КЕЛИ holds; empty when there
// is none, it is this process's own, or its process on this computer has ended.
QString otherKeliHolder(const QString &path)
{
    QFile lock(keliLockPath(path));
    if (!lock.open(QIODevice::ReadOnly))
        return QString();
    const QStringList fields = QString::fromUtf8(lock.readAll()).trimmed().split(QLatin1Char(','));
    const QString user = fields.value(0), host = fields.value(1);
    const qint64 pid = fields.value(2).toLongLong();
    if (host == QSysInfo::machineHostName()) {
        if (pid == QCoreApplication::applicationPid())
            return QString();
        // On Linux a live process has its folder under /proc.
        if (pid > 0 && QFileInfo::exists(QStringLiteral("/proc/self"))
            && !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            return QString();
    }
    return QStringLiteral("%1 на компьютере %2").arg(user.isEmpty() ? QStringLiteral("?") : user,
                                                       host.isEmpty() ? QStringLiteral("?") : host);
}

// Creates the lock file only if there is none (O_EXCL: of two programs asking at once, one gets
// it); false with errno otherwise.
bool createLock(const QString &lockPath)
{
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray text = ownLockText();
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    if (::close(fd) == 0 && written)
        return true;
    QFile::remove(lockPath);
    errno = EIO;
    return false;
}

bool isOwnLock(const QString &lockPath)
{
    QFile lock(lockPath);
    return lock.open(QIODevice::ReadOnly) && lock.readAll() == ownLockText();
}

// What holds path, as a clause of a sentence; empty when nothing does.
QString holderText(const QString &path)
{
    if (QFileInfo::exists(spreadsheetLockPath(path))) {
        return QStringLiteral("открыт в другой программе (рядом с ним лежит файл блокировки \"%1\")")
            .arg(QFileInfo(spreadsheetLockPath(path)).fileName());
    }
    const QString keli = otherKeliHolder(path);
    if (!keli.isEmpty())
        return QStringLiteral("уже открыт в другой программе КЕЛИ (%1)").arg(keli);
    return QString();
}

} // namespace

QString openWorkbookWarning(const QString &path)
{
    const QString holder = holderText(path);
    if (holder.isEmpty())
        return QString();
    return QStringLiteral("Файл \"%1\" %2. Если сохранить его в обеих программах, изменения одной из них "
                          "будут потеряны.\nОткрыть файл?")
        .arg(path, holder);
}

FileStamp fileStamp(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return FileStamp();
    return {info.lastModified(), info.size()};
}

QString saveOverQuestion(const QString &path, const QString &openedPath, const FileStamp &openedStamp)
{
    if (!QFileInfo(path).isFile())
        return QString();
    QStringList reasons;
    if (QFileInfo(path) == QFileInfo(openedPath) && fileStamp(path) != openedStamp)
        reasons << QStringLiteral("Файл \"%1\" изменен на диске после того, как был открыт в КЕЛИ.").arg(path);
    const QString holder = holderText(path);
    if (!holder.isEmpty())
        reasons << QStringLiteral("Файл \"%1\" %2.").arg(path, holder);
    if (reasons.isEmpty())
        return QString();
    return reasons.join(QLatin1Char('\n'))
           + QStringLiteral("\nЗаписать данные поверх него? Прежнее содержимое останется в резервной копии "
                            "\"%1\".")
                 .arg(QFileInfo(nextSaveBackupPath(path)).fileName());
}

WorkbookLock::WorkbookLock(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString lockPath = keliLockPath(path);
    if (createLock(lockPath))
        m_lockPath = lockPath;
    // A lock left by a КЕЛИ that has ended is taken over; a live one, this process's own
    // included, is not.
    else if (errno == EEXIST && otherKeliHolder(path).isEmpty() && !isOwnLock(lockPath) && QFile::remove(lockPath)
             && createLock(lockPath))
        m_lockPath = lockPath;
}

WorkbookLock::~WorkbookLock()
{
    if (m_lockPath.isEmpty())
        return;
    if (isOwnLock(m_lockPath))
        QFile::remove(m_lockPath);
}

} // namespace keli
