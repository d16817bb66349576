#pragma once
// Deflating a package part (raw deflate at level 6, its CRC-32 taken alongside) as its XML is
// generated: on a thread of its own when the process may run on two CPUs, so that on two cores
// writing a large sheet takes about as long as the slower of generating and deflating it.

#include "xlsx/xlsxxmlout.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <zlib.h>

namespace QXlsx {

// Whether work may go to a second thread: when the process may run on more than one CPU, unless
// the environment variable is "on" or "off", which forces either way.
bool workOnThread(const char *switchVariable);

// A part ready to be stored: its deflated bytes, the CRC-32 and size of what was deflated.
struct DeflatedPart
{
    QString name;
    QByteArray deflated;
    quint32 crc = 0;
    quint64 size = 0;
};

class PartDeflater : public ByteSink
{
public:
    static constexpr int level = 6;

    // On a thread when allowed, the process may run on two CPUs and a thread can be started;
    // KELI_DEFLATE_THREAD=on or off in the environment forces either way (so that both ways are
    // tested on any machine).
    explicit PartDeflater(bool threadAllowed = true);
    ~PartDeflater() override;
    PartDeflater(const PartDeflater &) = delete;
    PartDeflater &operator=(const PartDeflater &) = delete;

    void take(std::vector<char> &chunk) override;
    // Deflates what is left and fills part's bytes, CRC and size; false with an error text when
    // zlib failed.
    bool finish(DeflatedPart *part, QString *error);

    bool onThread() const { return m_thread.joinable(); }

    // Deflates bytes whole, on the calling thread.
    static bool deflate(const QByteArray &bytes, DeflatedPart *part, QString *error);

private:
    void run();
    void deflateChunk(const std::vector<char> &chunk, int flush);

    z_stream m_zip{};
    bool m_zipOk = false;
    QByteArray m_out;
    quint64 m_outUsed = 0;
    uLong m_crc = 0;
    quint64 m_size = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<char>> m_full;  // waiting to be deflated, guarded by m_mutex
    std::vector<std::vector<char>> m_empty; // deflated, to be filled again, guarded by m_mutex
    bool m_closing = false;                 // guarded by m_mutex
    std::thread m_thread;
};

} // namespace QXlsx
