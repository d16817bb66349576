#pragma once
// The comment of a zip archive, at the very end of the file after the central directory: it can be
// read from the tail of a file and changed without touching any entry.

#include <QByteArray>

namespace QXlsx {

// The longest tail that can hold the end record with its comment.
constexpr int zipEndRecordSpan = 22 + 0xFFFF;

// The archive comment found in the last bytes of a zip file (at most zipEndRecordSpan of them);
// empty when there is none or the bytes end no zip archive.
QByteArray zipComment(const QByteArray &tail);

// Replaces the archive comment of a whole zip file in place; false (and no change) when the bytes
// are not a zip archive or the comment is longer than 65535 bytes.
bool setZipComment(QByteArray *zip, const QByteArray &comment);

} // namespace QXlsx
