#include "xlsx/xlsxzippackage.h"

#include "xlsx/xlsxpartdeflater.h"
#include "xlsx/xlsxpartinflater.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <quazip/quazipnewinfo.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <zlib.h>

#include <cstring>
#include <system_error>

namespace QXlsx {

namespace {

// A fixed time stamp for the parts we write, so that equal saves give equal files.
QDateTime newPartTime()
{
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0));
}

// Whether a large part is inflated on a thread beside its reader: when the process may run on two
// CPUs (on one, a thread only adds work), unless KELI_INFLATE_THREAD is "on" or "off", which forces
// either way (so that both ways are tested on any machine).
bool inflateOnThread()
{
    return workOnThread("KELI_INFLATE_THREAD");
}

} // namespace

QString normalizedPartName(const QString &name)
{
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString &p : parts) {
        if (p == QLatin1String("."))
            continue;
        if (p == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept << p;
    }
    return kept.join(QLatin1Char('/'));
}

int ZipPackage::indexOf(const QString &name) const
{
    return m_index.value(normalizedPartName(name).toLower(), -1);
}

bool ZipPackage::contains(const QString &name) const
{
    return indexOf(name) >= 0;
}

QStringList ZipPackage::names() const
{
    QStringList list;
    for (const Entry &e : m_entries)
        list << e.name;
    return list;
}

quint64 ZipPackage::partSize(const QString &name) const
{
    const int i = indexOf(name);
    return i < 0 ? 0 : m_entries.at(i).size;
}

void ZipPackage::add(const QString &name, const QByteArray &data)
{
    Entry e;
    e.name = normalizedPartName(name);
    e.method = 0;
    e.stored = data;
    e.size = quint64(data.size());
    e.crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    e.dateTime = newPartTime();
    m_index.insert(e.name.toLower(), m_entries.size());
    m_entries.append(e);
}

bool ZipPackage::open(const QString &path, QString *error)
{
    m_entries.clear();
    m_index.clear();
    const QFileInfo fi(path);
    if (!fi.isFile()) {
        *error = QStringLiteral("file not found: %1").arg(path);
        return false;
    }
    if (fi.size() > maxPackageBytes) {
        *error = QStringLiteral("file too large");
        return false;
    }
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip)) {
        *error = QStringLiteral("not a zip package (error %1)").arg(zip.getZipError());
        return false;
    }
    if (zip.getEntriesCount() > maxEntries) {
        *error = QStringLiteral("too many entries in the package");
        return false;
    }
    qint64 total = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info)) {
            *error = QStringLiteral("damaged zip directory");
            return false;
        }
        if (info.name.endsWith(QLatin1Char('/')))
            continue; // directory entry
        if (info.flags & 1) {
            *error = QStringLiteral("encrypted package");
            return false;
        }
        if (info.method != 0 && info.method != Z_DEFLATED) {
            *error = QStringLiteral("unsupported compression in %1").arg(info.name);
            return false;
        }
        total += qint64(info.compressedSize);
        if (info.compressedSize > quint64(maxPackageBytes) || total > maxPackageBytes) {
            *error = QStringLiteral("damaged zip directory");
            return false;
        }
        Entry e;
        e.name = normalizedPartName(info.name);
        QuaZipFile file(&zip);
        int method = 0;
        int level = 0;
        if (!file.open(QIODevice::ReadOnly, &method, &level, true)) {
            *error = QStringLiteral("cannot read entry %1").arg(info.name);
            return false;
        }
        e.stored = file.read(qint64(info.compressedSize));
        file.close();
        if (quint64(e.stored.size()) != info.compressedSize || file.getZipError() != UNZ_OK) {
            *error = QStringLiteral("truncated entry %1").arg(info.name);
            return false;
        }
        e.method = method;
        e.level = level;
        e.crc = info.crc;
        e.size = info.uncompressedSize;
        e.dateTime = info.dateTime;
        e.internalAttr = info.internalAttr;
        e.externalAttr = info.externalAttr;
        e.comment = info.comment;
        if (m_index.contains(e.name.toLower()))
            continue; // a duplicate name: the first one counts
        m_index.insert(e.name.toLower(), m_entries.size());
        m_entries.append(e);
    }
    if (zip.getZipError() != UNZ_OK) {
        *error = QStringLiteral("damaged zip directory");
        return false;
    }
    return true;
}

bool ZipPackage::read(const QString &name, QByteArray *data, QString *error) const
{
    const int i = indexOf(name);
    if (i < 0) {
        *error = QStringLiteral("missing part %1").arg(name);
        return false;
    }
    const Entry &e = m_entries.at(i);
    if (e.method == 0) {
        *data = e.stored;
    } else {
        if (e.size > quint64(maxPartBytes)) {
            *error = e.name + QStringLiteral(": part too large");
            return false;
        }
        // Inflated in place into a block of the stated size (pages never written are never taken).
        data->resize(int(e.size));
        quint64 inflated = 0;
        if (!inflateRaw(e.stored, data->data(), e.size, &inflated, {}, error)) {
            *error = e.name + QStringLiteral(": ") + *error;
            return false;
        }
        data->resize(int(inflated));
    }
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data->constData()), uInt(data->size())));
    if (crc != e.crc || quint64(data->size()) != e.size) {
        *error = QStringLiteral("%1: checksum mismatch").arg(e.name);
        return false;
    }
    return true;
}

std::unique_ptr<PartInflater> ZipPackage::inflating(const QString &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        return nullptr;
    const Entry &e = m_entries.at(i);
    if (e.method == 0 || e.size < quint64(inflatingPartBytes) || e.size > quint64(maxPartBytes) || !inflateOnThread())
        return nullptr;
    try {
        return std::make_unique<PartInflater>(e.name, e.stored, e.size, e.crc);
    } catch (const std::system_error &) {
        return nullptr; // no thread to be had: read whole
    }
}

bool ZipPackage::write(QIODevice *device, const QVector<QPair<QString, QByteArray>> &changed,
                       const QStringList &removed, QString *error) const
{
    QVector<DeflatedPart> deflated(changed.size());
    for (int i = 0; i < changed.size(); ++i) {
        deflated[i].name = changed[i].first;
        if (!PartDeflater::deflate(changed[i].second, &deflated[i], error))
            return false;
    }
    return writeDeflated(device, deflated, removed, error);
}

bool ZipPackage::writeDeflated(QIODevice *device, const QVector<DeflatedPart> &changed,
                               const QStringList &removed, QString *error) const
{
    QHash<QString, int> changedIndex;
    for (int i = 0; i < changed.size(); ++i)
        changedIndex.insert(normalizedPartName(changed[i].name).toLower(), i);
    QSet<QString> removedSet;
    for (const QString &r : removed)
        removedSet.insert(normalizedPartName(r).toLower());

    QuaZip zip(device);
    zip.setAutoClose(false);
    if (!zip.open(QuaZip::mdCreate)) {
        *error = QStringLiteral("cannot create zip (error %1)").arg(zip.getZipError());
        return false;
    }
    auto writeNew = [&](const QString &name, const DeflatedPart &part, const QDateTime &time) {
        QuaZipNewInfo info(name);
        info.dateTime = time;
        info.uncompressedSize = ulong(part.size);
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, info, nullptr, part.crc, Z_DEFLATED, PartDeflater::level, true))
            return false;
        const bool ok = file.write(part.deflated) == part.deflated.size();
        file.close();
        return ok && file.getZipError() == ZIP_OK;
    };

    QSet<int> written;
    for (const Entry &e : m_entries) {
        const QString key = e.name.toLower();
        if (removedSet.contains(key))
            continue;
        const int c = changedIndex.value(key, -1);
        if (c >= 0) {
            written.insert(c);
            if (!writeNew(e.name, changed[c], e.dateTime)) {
                *error = QStringLiteral("cannot write %1").arg(e.name);
                return false;
            }
            continue;
        }
        QuaZipNewInfo info(e.name);
        info.dateTime = e.dateTime;
        info.internalAttr = e.internalAttr;
        info.externalAttr = e.externalAttr;
        info.comment = e.comment;
        info.uncompressedSize = ulong(e.size);
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, info, nullptr, e.crc, e.method, e.level, true)
            || file.write(e.stored) != e.stored.size()) {
            *error = QStringLiteral("cannot copy %1").arg(e.name);
            return false;
        }
        file.close();
        if (file.getZipError() != ZIP_OK) {
            *error = QStringLiteral("cannot copy %1").arg(e.name);
            return false;
        }
    }
    for (int i = 0; i < changed.size(); ++i) {
        if (written.contains(i) || changedIndex.value(normalizedPartName(changed[i].name).toLower()) != i)
            continue; // written in place, or named again later (the last one counts)
        if (!writeNew(normalizedPartName(changed[i].name), changed[i], newPartTime())) {
            *error = QStringLiteral("cannot write %1").arg(changed[i].name);
            return false;
        }
    }
    zip.close();
    if (zip.getZipError() != ZIP_OK) {
        *error = QStringLiteral("cannot finish zip (error %1)").arg(zip.getZipError());
        return false;
    }
    return true;
}

} // namespace QXlsx
