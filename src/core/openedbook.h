#pragma once
// A source workbook kept as it was read, with what tells whether the file on disk is still the one
// read: a later save starts from it instead of reading the file again.

#include "xlsx/xlsxdocument.h"

#include <QString>

#include <memory>

namespace keli {

// One state of a file: where it lies, its size and its times. Writing the file or replacing it
// changes it; equal states are the same file, unchanged.
struct FileState
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const FileState &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size
               && modifiedNs == o.modifiedNs && changedNs == o.changedNs;
    }
    bool operator!=(const FileState &o) const { return !(*this == o); }
};
FileState fileState(const QString &path);

struct OpenedBook
{
    QString path;
    FileState state;   // taken before the file was read
    QXlsx::Document book;
};

// The workbook read from path when opened holds it and path is still in the state it was read in;
// null otherwise.
const QXlsx::Document *unchangedBook(const std::shared_ptr<const OpenedBook> &opened, const QString &path);

} // namespace keli
