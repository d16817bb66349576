#pragma once
// XML written as bytes into a buffer that is handed on in pieces (to a deflater, or collected):
// numbers, cell references and escaped text are formatted straight into it, without a QString
// or a QVariant per cell.

#include <QStringView>

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace QXlsx {

// Where the pieces go. take() consumes the bytes of chunk and leaves it empty to be filled again
// (it may hand back another block than the one it was given).
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual void take(std::vector<char> &chunk) = 0;
};

// A sink that keeps everything, for small parts and tests.
class CollectingSink : public ByteSink
{
public:
    void take(std::vector<char> &chunk) override
    {
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        chunk.clear();
    }
    std::vector<char> bytes;
};

class XmlOut
{
public:
    static constexpr size_t chunkBytes = 128 * 1024;

    explicit XmlOut(ByteSink &sink);

    void append(const char *data, size_t size)
    {
        if (size <= room()) {
            if (size > 0) // data may be null then
                std::memcpy(m_chunk.data() + m_used, data, size);
            m_used += size;
        } else {
            appendLong(data, size);
        }
    }
    void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    void append(char c)
    {
        if (room() == 0)
            drain();
        m_chunk[m_used++] = c;
    }
    void appendInt(long long value);
    // The shortest text that reads back as the same double, as Qt's QString::number(value, 'g',
    // QLocale::FloatingPointShortest) gives it: plain, or with an exponent below 1e-4 and from
    // four digits past the significant ones.
    void appendNumber(double value);
    // "B12" for row 12, column 2.
    void appendCellReference(int row, int column);
    // Text as element content: &, <, > and CR escaped; characters XML cannot hold (control
    // characters, unpaired surrogates, U+FFFE, U+FFFF) replaced by U+FFFD.
    void appendText(QStringView text);

    // Hands the rest to the sink.
    void finish() { drain(); }

private:
    size_t room() const { return chunkBytes - m_used; }
    void ensure(size_t bytes)
    {
        if (room() < bytes)
            drain();
    }
    void appendLong(const char *data, size_t size);
    void drain();

    ByteSink &m_sink;
    std::vector<char> m_chunk;
    size_t m_used = 0;
};

} // namespace QXlsx
