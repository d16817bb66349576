#include "xlsx/xlsxpartinflater.h"

#include <zlib.h>

#include <algorithm>

namespace QXlsx {

bool inflateRaw(const QByteArray &in, char *out, quint64 expected, quint64 *inflated,
                const std::function<void(quint64)> &progress, QString *error)
{
    *inflated = 0;
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
        *error = QStringLiteral("inflate init failed");
        return false;
    }
    // A reader waiting for the bytes gets them in pieces (small enough for it to start at once);
    // otherwise they come in one go.
    const quint64 piece = progress ? 64 * 1024 : expected;
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(in.size());
    zs.avail_out = 0;
    // A byte more than stated goes to a spare byte and fails the part.
    char spare = 0;
    bool inSpare = false;
    int rc = Z_OK;
    while (rc != Z_STREAM_END && zs.total_out <= expected) {
        if (zs.avail_out == 0) {
            if (zs.total_out < expected) {
                zs.next_out = reinterpret_cast<Bytef *>(out + zs.total_out);
                zs.avail_out = uInt(std::min(piece, expected - zs.total_out));
            } else if (!inSpare) {
                zs.next_out = reinterpret_cast<Bytef *>(&spare);
                zs.avail_out = 1;
                inSpare = true;
            }
        }
        rc = inflate(&zs, Z_NO_FLUSH);
        if (progress)
            progress(std::min<quint64>(zs.total_out, expected));
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out > 0) {
            rc = Z_BUF_ERROR; // all input taken, the stream not ended
            break;
        }
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
    }
    *inflated = std::min<quint64>(zs.total_out, expected);
    const bool tooLong = zs.total_out > expected;
    inflateEnd(&zs);
    if (tooLong) {
        // More than the directory said (and never more than the limit): a damaged or hostile part.
        *error = QStringLiteral("part inflates past its stated size");
        return false;
    }
    if (rc != Z_STREAM_END) {
        *error = rc == Z_BUF_ERROR ? QStringLiteral("truncated compressed data") : QStringLiteral("damaged compressed data");
        return false;
    }
    return true;
}

PartInflater::PartInflater(const QString &name, const QByteArray &stored, quint64 size, quint32 crc)
    : m_name(name), m_stored(stored), m_size(size), m_crc(crc)
{
    // Pages never written are never taken, so a false stated size costs no memory.
    m_data.resize(int(size));
    m_out = m_data.data();
    m_thread = std::thread(&PartInflater::run, this);
}

PartInflater::~PartInflater()
{
    if (m_thread.joinable())
        m_thread.join();
}

void PartInflater::run()
{
    const auto progress = [this](quint64 bytes) { arrived(bytes, false, QString()); };
    quint64 inflated = 0;
    QString error;
    if (!inflateRaw(m_stored, m_out, m_size, &inflated, progress, &error))
        error = m_name + QStringLiteral(": ") + error;
    arrived(inflated, true, error);
}

void PartInflater::arrived(quint64 bytes, bool done, const QString &error)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_available = size_t(bytes);
        m_done = done;
        m_error = error;
    }
    m_arrived.notify_all();
}

// The checksum is taken by the reader, of the bytes as they come: the inflating thread is the
// slower of the two.
void PartInflater::check(size_t available)
{
    m_checksum = crc32_z(m_checksum, reinterpret_cast<const Bytef *>(m_out + m_checked), available - m_checked);
    m_checked = available;
}

size_t PartInflater::waitFor(size_t want, bool *complete)
{
    size_t available = 0;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_arrived.wait(lock, [&] { return m_done || m_available >= want; });
        *complete = m_done;
        available = m_available;
    }
    check(available);
    return available;
}

bool PartInflater::finish(QString *error)
{
    bool complete = false;
    const size_t available = waitFor(size_t(-1), &complete);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_error.isEmpty()) {
        *error = m_error;
        return false;
    }
    if (quint32(m_checksum) != m_crc || available != m_size) {
        *error = QStringLiteral("%1: checksum mismatch").arg(m_name);
        return false;
    }
    return true;
}

} // namespace QXlsx
