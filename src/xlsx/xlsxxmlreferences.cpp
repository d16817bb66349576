#include "xlsx/xlsxxmlreferences.h"

#include "xlsx/xlsxxmlbytes.h"

#include <cstring>

namespace QXlsx {
namespace XmlReferences {

namespace {

void appendUtf8(unsigned long u, std::string *out)
{
    if (u < 0x80) {
        out->push_back(char(u));
    } else if (u < 0x800) {
        out->push_back(char(0xC0 | (u >> 6)));
        out->push_back(char(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        out->push_back(char(0xE0 | (u >> 12)));
        out->push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out->push_back(char(0x80 | (u & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (u >> 18)));
        out->push_back(char(0x80 | ((u >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out->push_back(char(0x80 | (u & 0x3F)));
    }
}

// Decodes a reference checked by scanReference (p on '&', end after its ';' or later); returns the

// The one reading of a reference: p on its '&'; the byte after its ';' and in *u the character
// it stands for, or null when it is not a reference to an XML character held whole before end.
const char *reference(const char *p, const char *end, unsigned long *u)
{
    ++p;
    if (p < end && *p == '#') {
        ++p;
        const bool hex = p < end && *p == 'x'; // only a lower-case x: "&#X41;" is not XML
        if (hex)
            ++p;
        *u = 0;
        const char *digits = p;
        for (; p < end && *p != ';'; ++p) {
            const char c = *p;
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                digit = unsigned((c | 0x20) - 'a' + 10);
            else
                return nullptr;
            *u = *u * (hex ? 16 : 10) + digit;
            if (*u > 0x10FFFF)
                return nullptr;
        }
        if (p == end || p == digits || !XmlBytes::isXmlChar(*u))
            return nullptr;
        return p + 1;
    }
    static const struct { const char *name; char c; } entities[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto &e : entities) {
        const size_t n = std::strlen(e.name);
        if (size_t(end - p) >= n && std::memcmp(p, e.name, n) == 0) {
            *u = static_cast<unsigned char>(e.c);
            return p + n;
        }
    }
    return nullptr;
}

} // namespace

size_t length(const char *p, const char *end)
{
    unsigned long u = 0;
    const char *after = reference(p, end, &u);
    return after ? size_t(after - p) : 0;
}

void appendDecoded(std::string_view raw, Blanks blanks, std::string *out)
{
    const char *p = raw.data();
    const char *end = p + raw.size();
    const char lineEnd = blanks == Blanks::Attribute ? ' ' : '\n';
    while (p < end) {
        const char c = *p;
        if (c == '\r') {
            if (p + 1 == end || p[1] != '\n')
                out->push_back(lineEnd);
            ++p;
        } else if (blanks == Blanks::Attribute && (c == '\t' || c == '\n')) {
            out->push_back(' ');
            ++p;
        } else if (c == '&' && blanks != Blanks::CData) {
            unsigned long u = 0;
            const char *after = reference(p, end, &u);
            if (!after) { // not reached for text the scanner checked
                out->push_back(c);
                ++p;
                continue;
            }
            appendUtf8(u, out);
            p = after;
        } else {
            out->push_back(c);
            ++p;
        }
    }
}

} // namespace XmlReferences
} // namespace QXlsx
