#include "xlsx/xlsxzipcomment.h"

namespace QXlsx {

namespace {

constexpr int endRecordSize = 22;

int lengthAt(const QByteArray &bytes, int at)
{
    return int(uchar(bytes[at])) | int(uchar(bytes[at + 1])) << 8;
}

// Where the end of central directory record starts: the last "PK\5\6" whose comment length
// reaches exactly to the end of the bytes; -1 when there is none.
int endRecord(const QByteArray &bytes)
{
    for (int at = bytes.size() - endRecordSize; at >= 0 && bytes.size() - at <= zipEndRecordSpan; --at) {
        if (bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 5 && bytes[at + 3] == 6
            && at + endRecordSize + lengthAt(bytes, at + 20) == bytes.size())
            return at;
    }
    return -1;
}

} // namespace

QByteArray zipComment(const QByteArray &tail)
{
    const int at = endRecord(tail);
    return at < 0 ? QByteArray() : tail.mid(at + endRecordSize);
}

bool setZipComment(QByteArray *zip, const QByteArray &comment)
{
    const int at = endRecord(*zip);
    if (at < 0 || comment.size() > 0xFFFF)
        return false;
    zip->truncate(at + 20);
    zip->append(char(comment.size() & 0xFF)).append(char(comment.size() >> 8)).append(comment);
    return true;
}

} // namespace QXlsx
