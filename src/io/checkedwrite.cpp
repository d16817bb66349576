#include "io/checkedwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace keli {

namespace {

QString nativeFolder(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

// A new, empty file of a free name beside path; -1 with errno when none can be created. Created
// with mode 0666 less the umask, as any new file.
int createTemporaryBeside(const QString &path, QString *tempPath)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tempPath = info.absoluteDir().filePath(
            // Short enough that the name fits wherever the target's does.
            QStringLiteral(".%1.%2.tmp").arg(info.fileName().left(100)).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(QFile::encodeName(*tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes all of data; false with errno on the first failed write.
bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(qMin<qint64>(left, 1 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Some file systems cannot sync a file or folder at all (EINVAL): nothing is lost by that.
bool syncFile(int fd)
{
    return ::fsync(fd) == 0 || errno == EINVAL;
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The temporary file written so far, and what went wrong with it.
class TemporaryFile
{
public:
    explicit TemporaryFile(const QString &target) : m_target(target) {}
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }

    bool create()
    {
        m_fd = createTemporaryBeside(m_target, &m_path);
        if (m_fd < 0) {
            m_path.clear();
            return fail(errno);
        }
        // The file it replaces keeps its permissions.
        struct stat old;
        if (::stat(QFile::encodeName(m_target).constData(), &old) == 0 && ::fchmod(m_fd, old.st_mode & 07777) != 0)
            return fail(errno);
        return true;
    }

    bool fill(const QByteArray &data)
    {
        if (!writeAll(m_fd, data) || !syncFile(m_fd))
            return fail(errno);
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            return fail(errno);
        struct stat written;
        if (::stat(QFile::encodeName(m_path).constData(), &written) != 0)
            return fail(errno);
        if (written.st_size != data.size()) {
            m_reason = QStringLiteral("на диск записано %1 байт из %2").arg(qint64(written.st_size)).arg(data.size());
            return false;
        }
        return true;
    }

    bool check(const WrittenFileCheck &check)
    {
        if (check)
            m_reason = check(m_path);
        return m_reason.isEmpty();
    }

    bool replaceTarget()
    {
        if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0) {
            const int errnum = errno;
            m_reason = errnum == EISDIR ? writeErrorReason(m_target, errnum)
                                        : QStringLiteral("папка \"%1\" не позволила заменить файл новым (%2); прежний "
                                                         "файл оставлен как был")
                                              .arg(nativeFolder(m_target), qt_error_string(errnum));
            return false;
        }
        m_path.clear();
        syncFolder(m_target);
        return true;
    }

    QString reason() const { return m_reason; }

private:
    bool fail(int errnum)
    {
        m_reason = writeErrorReason(m_target, errnum);
        return false;
    }

    QString m_target;
    QString m_path;
    int m_fd = -1;
    QString m_reason;
};

} // namespace

QString writeErrorReason(const QString &path, int errnum)
{
    switch (errnum) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("нет места на диске");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись в папку \"%1\"").arg(nativeFolder(path));
    case EROFS:
        return QStringLiteral("диск с папкой \"%1\" доступен только для чтения").arg(nativeFolder(path));
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("папки \"%1\" нет").arg(nativeFolder(path));
    case EISDIR:
        return QStringLiteral("на месте файла \"%1\" находится папка").arg(QFileInfo(path).fileName());
    case EIO:
        return QStringLiteral("ошибка чтения или записи диска");
    default:
        return QStringLiteral("запись не удалась (%1)").arg(qt_error_string(errnum));
    }
}

bool writeFileChecked(const QString &linkOrPath, const QByteArray &data, QString *reason, const WrittenFileCheck &check)
{
    // A link is kept: the file it names is the one replaced (a renamed file would replace the link).
    const QFileInfo given(linkOrPath);
    const QString path = given.isSymLink() && given.exists() ? given.canonicalFilePath() : linkOrPath;
    QString why;
    if (path.isEmpty()) {
        why = QStringLiteral("не указано имя файла");
    } else if (QFileInfo(path).isDir()) {
        why = writeErrorReason(path, EISDIR);
    } else if (QFileInfo::exists(path) && ::access(QFile::encodeName(path).constData(), W_OK) != 0 && errno == EACCES) {
        // A rename would replace it all the same; its owner has protected it.
        why = QStringLiteral("файл \"%1\" защищен от записи").arg(QFileInfo(path).fileName());
    } else {
        TemporaryFile file(path);
        if (file.create() && file.fill(data) && file.check(check) && file.replaceTarget())
            return true;
        why = file.reason();
    }
    if (reason)
        *reason = why;
    return false;
}

} // namespace keli
