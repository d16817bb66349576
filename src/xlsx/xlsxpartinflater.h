#pragma once
// Inflating a deflated package part: whole, or on a thread of its own while its reader goes
// through the bytes already there, so that on two cores reading a large sheet takes about as long
// as the slower of inflating and scanning it, not both one after the other.

#include "xlsx/xlsxpartstream.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace QXlsx {

// Inflates raw deflate data into out, a block of the stated size, never writing past it; more
// data than stated, or a stream that ends early or is damaged, is an error. progress, when given,
// is told the number of bytes there after each piece. *inflated: the bytes written.
bool inflateRaw(const QByteArray &in, char *out, quint64 expected, quint64 *inflated,
                const std::function<void(quint64)> &progress, QString *error);

class PartInflater : public PartStream
{
public:
    // Starts the thread (std::system_error when none can be started); name is for error texts.
    PartInflater(const QString &name, const QByteArray &stored, quint64 size, quint32 crc);
    ~PartInflater() override;

    const char *data() const override { return m_out; }
    size_t waitFor(size_t want, bool *complete) override;
    // Waits for the whole part: false with an error text as ZipPackage::read gives it when it is
    // damaged, shorter or longer than stated, or fails its checksum. On the reader's thread, as
    // waitFor().
    bool finish(QString *error);

private:
    void run();
    void arrived(quint64 bytes, bool done, const QString &error);
    void check(size_t available);

    const QString m_name;
    const QByteArray m_stored;
    const quint64 m_size;
    const quint32 m_crc;
    QByteArray m_data;
    char *m_out;

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    size_t m_available = 0; // guarded by m_mutex, as the two below
    bool m_done = false;
    QString m_error;
    std::thread m_thread;
    unsigned long m_checksum = 0; // CRC-32 of the first m_checked bytes, kept by the reader
    size_t m_checked = 0;
};

} // namespace QXlsx
