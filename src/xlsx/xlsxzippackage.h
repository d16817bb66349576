#pragma once
// The zip container of a package. Entries are kept as they were stored (compressed bytes and
// header fields), so parts that are not changed are written back exactly; a part is inflated
// only when asked for, and never past a size limit.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace QXlsx {

struct DeflatedPart;
class PartInflater;

class ZipPackage
{
public:
    // Limits against hostile files: the package file, the number of entries, one inflated part.
    static constexpr qint64 maxPackageBytes = 256LL * 1024 * 1024;
    static constexpr int maxEntries = 10000;
    static constexpr qint64 maxPartBytes = 128LL * 1024 * 1024;

    bool open(const QString &path, QString *error);

    // Part names without a leading "/"; lookups ignore case, as package part names do.
    bool contains(const QString &name) const;
    QStringList names() const;
    // The inflated size of a part as the zip directory states it (a part never inflates past
    // it); 0 for a missing part.
    quint64 partSize(const QString &name) const;
    // The inflated content of a part; false with an error text when it is missing, damaged or
    // larger than maxPartBytes.
    bool read(const QString &name, QByteArray *data, QString *error) const;
    // A deflated part of at least inflatingPartBytes, inflated on a thread of its own to be read
    // as it arrives (its finish() then says whether it was whole); null for every other part and
    // when no thread can be started or the process has one CPU (KELI_INFLATE_THREAD=on or off
    // in the environment forces the thread either way): those are read().
#ifdef KELI_INFLATING_PART_BYTES
    static constexpr qint64 inflatingPartBytes = KELI_INFLATING_PART_BYTES; // the fuzz build: small parts too
#else
    static constexpr qint64 inflatingPartBytes = 512 * 1024;
#endif
    std::unique_ptr<PartInflater> inflating(const QString &name) const;
    // Writes the package with the given parts replaced or added (new ones at the end) and the
    // named parts left out; every other entry is copied as stored.
    bool write(QIODevice *device, const QVector<QPair<QString, QByteArray>> &changed,
               const QStringList &removed, QString *error) const;
    // The same with the changed parts deflated already (as the sheets are, while they are written).
    bool writeDeflated(QIODevice *device, const QVector<DeflatedPart> &changed, const QStringList &removed,
                       QString *error) const;

    // Adds an entry in memory (used to build a new package).
    void add(const QString &name, const QByteArray &data);

private:
    struct Entry
    {
        QString name;
        QByteArray stored;     // the entry's bytes as stored in the zip (raw)
        int method = 0;        // 0 stored, 8 deflated
        int level = 0;
        quint32 crc = 0;
        quint64 size = 0;      // inflated size
        QDateTime dateTime;
        quint16 internalAttr = 0;
        quint32 externalAttr = 0;
        QString comment;
    };
    int indexOf(const QString &name) const;

    QVector<Entry> m_entries;
    QHash<QString, int> m_index; // lower-cased name -> entry
};

// The name of a part as used inside the package: no leading "/", "." and ".." resolved.
QString normalizedPartName(const QString &name);

} // namespace QXlsx
