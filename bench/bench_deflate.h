#pragma once
// The floor of writing a package: deflating (zlib level 6, the level the writer uses, raw deflate
// as a zip entry holds it) the XML parts a write produced. Parts copied unchanged from the package
// it started from cost a writer nothing and are left out.

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <zlib.h>

#include <algorithm>
#include <vector>

// The parts of a written package that it did not copy from its original.
struct WrittenXml
{
    QVector<QByteArray> parts;
    qint64 bytes = 0;
};

inline QHash<QString, quint32> partCrcs(const QString &path)
{
    QHash<QString, quint32> crcs;
    QuaZip zip(path);
    if (path.isEmpty() || !zip.open(QuaZip::mdUnzip))
        return crcs;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (zip.getCurrentFileInfo(&info))
            crcs.insert(info.name, info.crc);
    }
    return crcs;
}

// The XML parts of written that original (a package or "", for a new one) lacks or holds otherwise,
// and those whose names start with one of rewritten (a write may produce a part as it was).
inline WrittenXml rewrittenXml(const QString &written, const QString &original = QString(),
                               const QStringList &rewritten = QStringList())
{
    WrittenXml xml;
    const QHash<QString, quint32> before = partCrcs(original);
    QuaZip zip(written);
    if (!zip.open(QuaZip::mdUnzip))
        return xml;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            continue;
        const bool named = std::any_of(rewritten.begin(), rewritten.end(),
                                       [&](const QString &prefix) { return info.name.startsWith(prefix); });
        if (!named && before.contains(info.name) && before.value(info.name) == info.crc)
            continue;
        QuaZipFile part(&zip);
        if (!part.open(QIODevice::ReadOnly))
            continue;
        xml.parts.append(part.readAll());
        xml.bytes += xml.parts.last().size();
    }
    return xml;
}

// Joins several packages' rewritten parts into one set.
inline WrittenXml operator+(WrittenXml a, const WrittenXml &b)
{
    a.parts += b.parts;
    a.bytes += b.bytes;
    return a;
}

// Raw deflate at level 6 of every part, into a buffer of the bound's size: the best wall time of
// runs, in ms.
inline double deflateFloorMs(const WrittenXml &xml, int runs = 5)
{
    double best = 1e300;
    std::vector<unsigned char> out;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer t;
        t.start();
        for (const QByteArray &part : xml.parts) {
            z_stream z{};
            if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                return -1;
            out.resize(deflateBound(&z, uLong(part.size())));
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(part.constData()));
            z.avail_in = uInt(part.size());
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            deflate(&z, Z_FINISH);
            deflateEnd(&z);
        }
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
