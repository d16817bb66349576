#include "xlsx/xlsxpartdeflater.h"

#include <algorithm>
#include <system_error>

#ifdef __linux__
#include <sched.h>
#endif

namespace QXlsx {

namespace {

// Filled chunks waiting for the deflating thread at most: the generator waits beyond that, so
// that memory stays bounded when deflating is the slower of the two.
constexpr size_t maxWaiting = 4;
constexpr int outputStep = 256 * 1024;

bool mayRunOnTwoCpus()
{
#ifdef __linux__
    cpu_set_t cpus;
    if (sched_getaffinity(0, sizeof cpus, &cpus) == 0)
        return CPU_COUNT(&cpus) > 1;
#endif
    return std::thread::hardware_concurrency() > 1;
}

} // namespace

bool workOnThread(const char *switchVariable)
{
    const QByteArray forced = qgetenv(switchVariable);
    if (forced == "on")
        return true;
    if (forced == "off")
        return false;
    return mayRunOnTwoCpus();
}

PartDeflater::PartDeflater(bool threadAllowed)
{
    m_zipOk = deflateInit2(&m_zip, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    m_crc = crc32(0, nullptr, 0);
    if (!threadAllowed || !m_zipOk || !workOnThread("KELI_DEFLATE_THREAD"))
        return;
    try {
        m_thread = std::thread(&PartDeflater::run, this);
    } catch (const std::system_error &) {
        // no thread to be had: deflated as it comes
    }
}

PartDeflater::~PartDeflater()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    deflateEnd(&m_zip);
}

void PartDeflater::take(std::vector<char> &chunk)
{
    if (!m_thread.joinable()) {
        deflateChunk(chunk, Z_NO_FLUSH);
        chunk.clear();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_full.size() < maxWaiting; });
        m_full.push_back(std::move(chunk));
        chunk = std::vector<char>();
        if (!m_empty.empty()) {
            chunk.swap(m_empty.back());
            m_empty.pop_back();
        }
    }
    m_changed.notify_all();
    chunk.clear();
}

void PartDeflater::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_closing || !m_full.empty(); });
        if (m_full.empty())
            return; // closing, and all deflated
        std::vector<char> chunk = std::move(m_full.front());
        m_full.pop_front();
        lock.unlock();
        m_changed.notify_all();
        deflateChunk(chunk, Z_NO_FLUSH);
        chunk.clear();
        lock.lock();
        m_empty.push_back(std::move(chunk));
    }
}

void PartDeflater::deflateChunk(const std::vector<char> &chunk, int flush)
{
    if (!m_zipOk || (chunk.empty() && flush == Z_NO_FLUSH))
        return;
    if (!chunk.empty()) // crc32() of no block gives the initial value
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef *>(chunk.data()), uInt(chunk.size()));
    m_size += chunk.size();
    m_zip.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.data()));
    m_zip.avail_in = uInt(chunk.size());
    for (;;) {
        if (quint64(m_out.size()) - m_outUsed < quint64(outputStep))
            m_out.resize(int(m_outUsed) + std::max(outputStep, m_out.size() / 2));
        m_zip.next_out = reinterpret_cast<Bytef *>(m_out.data() + m_outUsed);
        m_zip.avail_out = uInt(quint64(m_out.size()) - m_outUsed);
        const int result = ::deflate(&m_zip, flush);
        m_outUsed = quint64(m_out.size()) - m_zip.avail_out;
        // No progress with input and room left (Z_BUF_ERROR then is no error in itself) means a
        // stream that cannot go on.
        if (result == Z_STREAM_ERROR
            || (result == Z_BUF_ERROR && m_zip.avail_out > 0 && (m_zip.avail_in > 0 || flush == Z_FINISH))) {
            m_zipOk = false;
            return;
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : m_zip.avail_in == 0 && m_zip.avail_out > 0)
            return;
    }
}

bool PartDeflater::finish(DeflatedPart *part, QString *error)
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    deflateChunk(std::vector<char>(), Z_FINISH);
    if (!m_zipOk) {
        *error = QStringLiteral("%1: cannot deflate").arg(part->name);
        return false;
    }
    m_out.resize(int(m_outUsed));
    part->deflated = m_out;
    part->crc = quint32(m_crc);
    part->size = m_size;
    return true;
}

bool PartDeflater::deflate(const QByteArray &bytes, DeflatedPart *part, QString *error)
{
    PartDeflater deflater(false);
    std::vector<char> chunk(bytes.constData(), bytes.constData() + bytes.size());
    deflater.take(chunk);
    return deflater.finish(part, error);
}

} // namespace QXlsx
