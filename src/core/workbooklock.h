#pragma once
// Who else has a source workbook open, and whether it changed on disk since it was opened. The
// core decides what the user must be asked (the texts); the windows ask.
//
// Two kinds of lock file lie beside a workbook NAME.xlsx: ".~lock.NAME.xlsx#", kept by the
// spreadsheet program while it has the file open, and ".~keli.NAME.xlsx#", kept by КЕЛИ while a
// dataset dialog has it open (user, computer and process, so that a lock left by a program that
// ended without removing it is recognised and ignored).

#include <QDateTime>
#include <QString>

namespace keli {

// The warning to give before opening path when another program or another КЕЛИ has it open
// (ending in a question whether to open it all the same); empty when nobody does.
QString openWorkbookWarning(const QString &path);

// The time and size of a file as last seen; size -1 when there was no file.
struct FileStamp
{
    QDateTime modified;
    qint64 size = -1;

    bool operator==(const FileStamp &other) const { return modified == other.modified && size == other.size; }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};
FileStamp fileStamp(const QString &path);

// The question to ask before saving over path (empty when there is nothing to ask): the workbook
// opened as openedPath with openedStamp changed on disk since, or path is open in another program
// or another КЕЛИ.
QString saveOverQuestion(const QString &path, const QString &openedPath, const FileStamp &openedStamp);

// КЕЛИ's own lock on a workbook, held while the object lives: created by the constructor (unless
// the path is empty or another КЕЛИ holds it), removed by the destructor if it is still ours.
class WorkbookLock
{
public:
    explicit WorkbookLock(const QString &path);
    ~WorkbookLock();
    WorkbookLock(const WorkbookLock &) = delete;
    WorkbookLock &operator=(const WorkbookLock &) = delete;

    bool isHeld() const { return !m_lockPath.isEmpty(); }

private:
    QString m_lockPath;
};

} // namespace keli
