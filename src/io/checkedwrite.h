#pragma once
// The one way files are written. The bytes go to a temporary file beside the target; every write,
// the sync to disk, the close and the size are checked; only then does the new file replace the
// target by a rename, and the folder is synced. A failure at any step leaves the target as it was
// and removes the temporary file. A target that existed keeps its permissions.
//
// Why not QSaveFile: on a full disk it reports a small file (up to its 16 KiB buffer) as written
// and leaves an empty one.

#include <QByteArray>
#include <QString>

#include <functional>

namespace keli {

// Looks at the complete temporary file before it replaces the target: empty when it may, else why
// not (the text becomes the write's failure reason).
using WrittenFileCheck = std::function<QString(const QString &writtenPath)>;

// Writes data to path (to the file it names when it is a link). False with reason, a Russian clause without a final stop ("нет места на
// диске", "нет прав на запись в папку …"), when the file could not be written whole.
bool writeFileChecked(const QString &path, const QByteArray &data, QString *reason,
                      const WrittenFileCheck &check = WrittenFileCheck());

// The reason for a system error number errnum met while writing path, as writeFileChecked gives it.
QString writeErrorReason(const QString &path, int errnum);

} // namespace keli
