#pragma once
// The floor of reading a package, what no reader can avoid: inflating its XML parts with zlib and
// touching every byte once (a memchr pass counting the '<' of the tags).

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QString>

#include <cstring>

// The number of '<' in the XML parts; -1 when the file is no zip.
inline qint64 inflateAndTouch(const QString &path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return -1;
    qint64 tags = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        if (!name.endsWith(QLatin1String(".xml")) && !name.endsWith(QLatin1String(".rels")))
            continue;
        QuaZipFile part(&zip);
        if (!part.open(QIODevice::ReadOnly))
            continue;
        const QByteArray data = part.readAll();
        const char *p = data.constData();
        const char *end = p + data.size();
        while ((p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)))) != nullptr) {
            ++tags;
            ++p;
        }
    }
    return tags;
}
