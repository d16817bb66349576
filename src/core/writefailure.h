#pragma once
// Why a file could not be written, in words the user can act on. The system's own error text
// follows the system locale and reads "Permission denied" on many Russian desktops.

#include <QString>

namespace keli {

// The reason a write of `path` failed: a missing folder, a folder in the file's place, a folder
// or file without write permission; otherwise "Запись не удалась" with `detail` (the system's
// text), which is all that is known then.
QString writeFailureReason(const QString &path, const QString &detail);

} // namespace keli
