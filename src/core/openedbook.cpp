#include "core/openedbook.h"

#include <QFile>

#include <sys/stat.h>

namespace keli {

FileState fileState(const QString &path)
{
    FileState f;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return f;
    f.exists = true;
    f.device = quint64(st.st_dev);
    f.inode = quint64(st.st_ino);
    f.size = qint64(st.st_size);
    f.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    f.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return f;
}

const QXlsx::Document *unchangedBook(const std::shared_ptr<const OpenedBook> &opened, const QString &path)
{
    if (!opened || opened->path != path || !opened->state.exists || fileState(path) != opened->state)
        return nullptr;
    return &opened->book;
}

} // namespace keli
