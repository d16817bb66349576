#pragma once
// The bytes of a package part as they become available: held whole, or still arriving from a
// part being inflated on another thread. Either way one block that fills from its start and never
// moves, so that what a reader took from it stays valid.

#include <QByteArray>

#include <cstddef>

namespace QXlsx {

class PartStream
{
public:
    virtual ~PartStream() = default;
    // The first byte of the block.
    virtual const char *data() const = 0;
    // Blocks until at least want bytes are there or the last one has come; returns how many are
    // there, and in *complete whether that is all of them.
    virtual size_t waitFor(size_t want, bool *complete) = 0;
};

// A part held whole.
class WholePart : public PartStream
{
public:
    explicit WholePart(const QByteArray &bytes) : m_bytes(bytes) {}
    const char *data() const override { return m_bytes.constData(); }
    size_t waitFor(size_t, bool *complete) override
    {
        *complete = true;
        return size_t(m_bytes.size());
    }

private:
    const QByteArray &m_bytes;
};

// All the bytes of a stream, once they have come, as a QByteArray over them (no copy): valid while
// the stream is.
inline QByteArray wholePart(PartStream &stream)
{
    bool complete = false;
    const size_t size = stream.waitFor(size_t(-1), &complete);
    return QByteArray::fromRawData(stream.data(), int(size));
}

} // namespace QXlsx
