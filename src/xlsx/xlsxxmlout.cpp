#include "xlsx/xlsxxmlout.h"

#include <algorithm>
#include <charconv>

namespace QXlsx {

XmlOut::XmlOut(ByteSink &sink)
    : m_sink(sink), m_chunk(chunkBytes)
{
}

void XmlOut::drain()
{
    m_chunk.resize(m_used);
    m_sink.take(m_chunk);
    m_chunk.resize(chunkBytes);
    m_used = 0;
}

void XmlOut::appendLong(const char *data, size_t size)
{
    while (size > 0) {
        if (room() == 0)
            drain();
        const size_t n = std::min(size, room());
        std::memcpy(m_chunk.data() + m_used, data, n);
        m_used += n;
        data += n;
        size -= n;
    }
}

void XmlOut::appendInt(long long value)
{
    ensure(24);
    char *at = m_chunk.data() + m_used;
    m_used += size_t(std::to_chars(at, at + 24, value).ptr - at);
}

void XmlOut::appendNumber(double value)
{
    ensure(40);
    char *out = m_chunk.data() + m_used;
    char *const start = out;
    if (value == 0) {
        *out++ = '0'; // also for -0, as Qt writes it
        m_used += 1;
        return;
    }
    // The shortest digits that read back as the value, and their exponent.
    char sci[40];
    const char *sciEnd = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    const char *p = sci;
    if (*p == '-') {
        *out++ = '-';
        ++p;
    }
    char digits[24] = {};
    int count = 0;
    for (; p < sciEnd && *p != 'e'; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    int exponent = 0; // after the 'e': a sign and at least two digits
    std::from_chars(p + (p[1] == '+' ? 2 : 1), sciEnd, exponent);
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (exponent < -4 || exponent > count + 4) {
        *out++ = digits[0];
        if (count > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, size_t(count - 1));
            out += count - 1;
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        if (magnitude < 10)
            *out++ = '0';
        out = std::to_chars(out, out + 4, magnitude).ptr;
    } else if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > exponent; --i)
            *out++ = '0';
        std::memcpy(out, digits, size_t(count));
        out += count;
    } else {
        for (int i = 0; i <= exponent || i < count; ++i) {
            if (i == exponent + 1)
                *out++ = '.';
            *out++ = i < count ? digits[i] : '0';
        }
    }
    m_used += size_t(out - start);
}

void XmlOut::appendCellReference(int row, int column)
{
    ensure(16);
    char letters[4];
    int n = 0;
    for (; column > 0; column = (column - 1) / 26)
        letters[n++] = char('A' + (column - 1) % 26);
    char *out = m_chunk.data() + m_used;
    char *const start = out;
    while (n > 0)
        *out++ = letters[--n];
    out = std::to_chars(out, out + 8, row).ptr;
    m_used += size_t(out - start);
}

void XmlOut::appendText(QStringView text)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *const end = p + text.size();
    while (p < end) {
        ensure(8);
        char *out = m_chunk.data() + m_used;
        // At most room() / 8 characters per pass: each takes up to eight bytes ("&#13;" is five).
        const char16_t *const stop = p + std::min<size_t>(size_t(end - p), room() / 8);
        for (; p < stop; ++p) {
            const char16_t u = *p;
            if (u < 0x80) {
                if (u >= 0x20 && u != '&' && u != '<' && u != '>') {
                    *out++ = char(u);
                    continue;
                }
                const char *escaped = nullptr;
                switch (u) {
                case '&': escaped = "&amp;"; break;
                case '<': escaped = "&lt;"; break;
                case '>': escaped = "&gt;"; break;
                case '\r': escaped = "&#13;"; break; // a raw CR would read back as a line end
                case '\t':
                case '\n': *out++ = char(u); continue;
                default: escaped = "\xEF\xBF\xBD"; break;
                }
                const size_t n = std::strlen(escaped);
                std::memcpy(out, escaped, n);
                out += n;
            } else if (u < 0x800) {
                *out++ = char(0xC0 | (u >> 6));
                *out++ = char(0x80 | (u & 0x3F));
            } else if (u >= 0xD800 && u <= 0xDBFF && p + 1 < end && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
                const char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(p[1]) - 0xDC00);
                ++p;
                *out++ = char(0xF0 | (c >> 18));
                *out++ = char(0x80 | ((c >> 12) & 0x3F));
                *out++ = char(0x80 | ((c >> 6) & 0x3F));
                *out++ = char(0x80 | (c & 0x3F));
            } else {
                const char16_t c = (u >= 0xD800 && u <= 0xDFFF) || u >= 0xFFFE ? char16_t(0xFFFD) : u;
                *out++ = char(0xE0 | (c >> 12));
                *out++ = char(0x80 | ((c >> 6) & 0x3F));
                *out++ = char(0x80 | (c & 0x3F));
            }
        }
        m_used = size_t(out - m_chunk.data());
    }
}

} // namespace QXlsx
