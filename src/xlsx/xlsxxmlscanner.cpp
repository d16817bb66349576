// The token reader of the scanner: declarations, tags, text, comments and CDATA, with the
// namespaces in scope; the fast paths for whole cells are in xlsxxmlscannerfast.cpp.
#include "xlsx/xlsxxmlscanner.h"

#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxxmlbytes.h"
#include "xlsx/xlsxxmlreferences.h"

#include <algorithm>
#include <cstring>

namespace QXlsx {

using namespace XmlBytes;

namespace {

// prefix:name as written.
std::string_view qualifiedName(const XmlScanner::Attribute &a)
{
    const char *start = a.prefix.empty() ? a.name.data() : a.prefix.data();
    return std::string_view(start, size_t(a.name.data() + a.name.size() - start));
}

const std::string_view xmlNamespace("http://www.w3.org/XML/1998/namespace");
const std::string_view xmlnsNamespace("http://www.w3.org/2000/xmlns/");

} // namespace

QString fromUtf8(std::string_view text)
{
    static const std::string_view bom("\xEF\xBB\xBF");
    size_t marks = 0;
    while (text.substr(marks * 3, 3) == bom)
        ++marks;
    const std::string_view rest = text.substr(marks * 3);
    QString s = QString::fromUtf8(rest.data(), int(rest.size()));
    if (marks > 0)
        s.prepend(QString(int(marks), QChar(0xFEFF)));
    return s;
}

XmlScanner::XmlScanner(const char *data, size_t size)
    : m_begin(data), m_p(data), m_end(data + size)
{
    start();
}

XmlScanner::XmlScanner(PartStream &stream)
    : m_begin(stream.data()), m_p(m_begin), m_stream(&stream)
{
    // Enough for the byte order mark and the start of a declaration; a declaration cut off is read
    // once the whole part is there.
    m_end = m_begin + stream.waitFor(9, &m_complete);
    start();
    if (m_stopped && !m_complete) {
        m_end = m_begin + stream.waitFor(size_t(-1), &m_complete);
        m_p = m_begin;
        m_stopped = false;
        start();
    }
}

void XmlScanner::start()
{
    if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
        m_p += 3;
    if (m_end - m_p >= 6 && std::memcmp(m_p, "<?xml", 5) == 0 && isBlank(m_p[5]) && !scanDeclaration())
        m_stopped = true;
}

XmlScanner::Token XmlScanner::unsure()
{
    m_stopped = true;
    return m_last = Unsure;
}

// <?xml version="1.0" [encoding="UTF-8"] [standalone="yes|no"] ?>, in that order.
bool XmlScanner::scanDeclaration()
{
    m_p += 5;
    static const char *const names[] = {"version", "encoding", "standalone"};
    int next = 0;
    for (;;) {
        const char *before = m_p;
        skipBlanks();
        if (m_end - m_p >= 2 && m_p[0] == '?' && m_p[1] == '>') {
            m_p += 2;
            return next > 0;
        }
        if (m_p == before)
            return false;
        int which = next;
        while (which < 3 && !(size_t(m_end - m_p) > std::strlen(names[which])
                              && std::memcmp(m_p, names[which], std::strlen(names[which])) == 0))
            ++which;
        if (which == 3 || (next == 0 && which != 0))
            return false;
        m_p += std::strlen(names[which]);
        char quote = 0;
        if (!scanEquals(&quote))
            return false;
        const char *value = m_p;
        while (m_p < m_end && *m_p != quote)
            ++m_p;
        if (m_p == m_end)
            return false;
        const std::string_view v(value, size_t(m_p - value));
        ++m_p;
        bool ok = false;
        if (which == 0) {
            ok = v == "1.0";
        } else if (which == 1) {
            ok = v.size() == 5 && (v[0] | 0x20) == 'u' && (v[1] | 0x20) == 't' && (v[2] | 0x20) == 'f'
                 && v[3] == '-' && v[4] == '8';
        } else {
            ok = v == "yes" || v == "no";
        }
        if (!ok)
            return false;
        next = which + 1;
    }
}

inline void XmlScanner::skipBlanks()
{
    while (m_p < m_end && isBlank(*m_p))
        ++m_p;
}

// Blanks, '=', blanks and the opening quote of a value.
inline bool XmlScanner::scanEquals(char *quote)
{
    if (m_end - m_p >= 2 && m_p[0] == '=' && (m_p[1] == '"' || m_p[1] == '\'')) {
        *quote = m_p[1]; // the usual form, without blanks
        m_p += 2;
        return true;
    }
    skipBlanks();
    if (m_p == m_end || *m_p != '=')
        return false;
    ++m_p;
    skipBlanks();
    if (m_p == m_end || (*m_p != '"' && *m_p != '\''))
        return false;
    *quote = *m_p++;
    return true;
}

bool XmlScanner::skipElement()
{
    for (int depth = 1; depth > 0;) {
        switch (next()) {
        case StartElement: ++depth; break;
        case EndElement: --depth; break;
        case Characters: break;
        default: return false;
        }
    }
    return true;
}

inline bool XmlScanner::scanName(std::string_view *prefix, std::string_view *local)
{
    const char *start = m_p;
    if (m_p == m_end || !isNameStart(*m_p))
        return false;
    while (++m_p < m_end && isNameChar(*m_p)) {
    }
    *prefix = std::string_view();
    if (m_p < m_end && *m_p == ':') {
        *prefix = std::string_view(start, size_t(m_p - start));
        const char *localStart = ++m_p;
        if (m_p == m_end || !isNameStart(*m_p))
            return false;
        while (++m_p < m_end && isNameChar(*m_p)) {
        }
        *local = std::string_view(localStart, size_t(m_p - localStart));
    } else {
        *local = std::string_view(start, size_t(m_p - start));
    }
    return true;
}

bool XmlScanner::isDeclared(std::string_view prefix) const
{
    const auto it = m_declared.find(prefix);
    return it != m_declared.end() && it->second > 0;
}

inline bool XmlScanner::scanStartTag()
{
    const char *tagStart = ++m_p;
    std::string_view prefix, local;
    if (!scanName(&prefix, &local))
        return false;
    const std::string_view qualified(tagStart, size_t(m_p - tagStart));
    const size_t namespacesBefore = m_namespaces.size();
    m_attributes.clear();
    bool inNamespaces = false;
    for (;;) {
        const char *before = m_p;
        skipBlanks();
        if (m_p == m_end)
            return false;
        if (*m_p == '>') {
            ++m_p;
            break;
        }
        if (*m_p == '/') {
            if (m_end - m_p < 2 || m_p[1] != '>')
                return false;
            m_p += 2;
            m_pendingEnd = true;
            break;
        }
        if (m_p == before)
            return false; // attributes must be separated by blanks
        m_attributes.emplace_back();
        Attribute &a = m_attributes.back();
        char quote = 0;
        if (!scanName(&a.prefix, &a.name) || !scanEquals(&quote))
            return false;
        const char *valueStart = m_p;
        if (!scanAttributeValue(quote, &a.plain))
            return false;
        a.value = std::string_view(valueStart, size_t(m_p - valueStart));
        ++m_p; // the closing quote
        const bool declaration = a.prefix == "xmlns" || (a.prefix.empty() && a.name == "xmlns");
        a.prefixed = !a.prefix.empty() || declaration;
        // The same name twice, or one local name in two namespaces that may be one: left to the
        // general reader. Checked pairwise, or through sets when a tag has many attributes.
        const bool inNamespace = !a.prefix.empty() && !declaration;
        if (m_attributes.size() <= 16) {
            for (auto other = m_attributes.begin(); &*other != &a; ++other) {
                if (sameBytes(other->name, a.name)
                    && (sameBytes(other->prefix, a.prefix)
                        || (inNamespace && !other->prefix.empty() && other->prefix != "xmlns")))
                    return false;
            }
        } else {
            if (m_attributes.size() == 17) {
                m_seenQualified.clear();
                m_seenLocal.clear();
                for (auto other = m_attributes.begin(); &*other != &a; ++other) {
                    m_seenQualified.insert(qualifiedName(*other));
                    if (!other->prefix.empty() && other->prefix != "xmlns")
                        m_seenLocal.insert(other->name);
                }
            }
            if (!m_seenQualified.insert(qualifiedName(a)).second || (inNamespace && !m_seenLocal.insert(a.name).second))
                return false;
        }
        if (declaration) {
            // Plain, non-empty, not rebinding the reserved ones.
            if (!a.plain || a.value == xmlNamespace || a.value == xmlnsNamespace)
                return false;
            if (!a.prefix.empty()) {
                if (a.value.empty() || a.name == "xml" || a.name == "xmlns")
                    return false;
                m_namespaces.push_back(a.name);
                ++m_declared[a.name];
            }
        } else if (!a.prefix.empty() && a.prefix != "xml") {
            inNamespaces = true;
        }
    }
    // Prefixes may be declared anywhere in the tag.
    if (!prefix.empty() && (prefix == "xml" || prefix == "xmlns" || !isDeclared(prefix)))
        return false;
    if (inNamespaces) {
        for (const Attribute &a : m_attributes) {
            if (!a.prefix.empty() && a.prefix != "xml" && a.prefix != "xmlns" && !isDeclared(a.prefix))
                return false;
        }
    }
    if (m_open.size() >= maxDepth)
        return false;
    m_open.emplace_back();
    Open &open = m_open.back();
    open.qualifiedName = qualified;
    open.local = local;
    open.namespaces = namespacesBefore;
    m_name = local;
    return true;
}

inline void XmlScanner::popElement()
{
    for (size_t i = m_open.back().namespaces; i < m_namespaces.size(); ++i)
        --m_declared[m_namespaces[i]];
    m_namespaces.resize(m_open.back().namespaces);
    m_open.pop_back();
    if (m_open.empty())
        m_rootDone = true;
}

inline bool XmlScanner::scanEndTag()
{
    m_p += 2;
    const std::string_view expected = m_open.back().qualifiedName;
    if (size_t(m_end - m_p) < expected.size() || !sameBytes(std::string_view(m_p, expected.size()), expected))
        return false;
    m_p += expected.size();
    if (m_p < m_end && isNameChar(*m_p))
        return false;
    skipBlanks();
    if (m_p == m_end || *m_p != '>')
        return false;
    ++m_p;
    m_name = m_open.back().local;
    popElement();
    return true;
}

// <!-- ... -->: "--" only at its end, and not "--->".
bool XmlScanner::scanComment()
{
    if (m_end - m_p < 4 || std::memcmp(m_p, "<!--", 4) != 0)
        return false;
    m_p += 4;
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '-') {
            if (m_end - m_p >= 2 && m_p[1] == '-') {
                if (m_end - m_p < 3 || m_p[2] != '>')
                    return false;
                m_p += 3;
                return true;
            }
            ++m_p;
        } else if (classOf(c) == High) {
            if (!scanUtf8())
                return false;
        } else if (classOf(c) == Control) {
            return false;
        } else {
            ++m_p;
        }
    }
    return false;
}

bool XmlScanner::scanCData()
{
    static const char open[] = "<![CDATA[";
    if (size_t(m_end - m_p) < sizeof open - 1 || std::memcmp(m_p, open, sizeof open - 1) != 0)
        return false;
    m_p += sizeof open - 1;
    const char *start = m_p;
    m_textPlain = true;
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == ']' && m_end - m_p >= 3 && m_p[1] == ']' && m_p[2] == '>') {
            m_text = std::string_view(start, size_t(m_p - start));
            m_textCData = true;
            m_p += 3;
            return true;
        }
        switch (classOf(c)) {
        case High:
            if (!scanUtf8())
                return false;
            break;
        case Control:
            return false;
        case Space:
            if (c == '\r')
                m_textPlain = false;
            ++m_p;
            break;
        default:
            ++m_p;
            break;
        }
    }
    return false;
}

inline bool XmlScanner::scanText()
{
    const char *start = m_p;
    m_textPlain = true;
    m_textCData = false;
    while (m_p < m_end) {
        if (classOf(*m_p) == Plain) {
            ++m_p;
            continue;
        }
        switch (classOf(*m_p)) {
        case Plain:
        case Quote:
            ++m_p;
            break;
        case Less:
            m_text = std::string_view(start, size_t(m_p - start));
            return true;
        case Amp:
            m_textPlain = false;
            if (!scanReference())
                return false;
            break;
        case Bracket:
            if (m_end - m_p >= 3 && m_p[1] == ']' && m_p[2] == '>')
                return false;
            ++m_p;
            break;
        case Space:
            if (*m_p == '\r')
                m_textPlain = false;
            ++m_p;
            break;
        case High:
            if (!scanUtf8())
                return false;
            break;
        default:
            return false;
        }
    }
    return false; // the root element is not closed
}

bool XmlScanner::scanAttributeValue(char quote, bool *plain)
{
    *plain = true;
    while (m_p < m_end) {
        const char c = *m_p;
        if (classOf(c) == Plain) {
            ++m_p;
            continue;
        }
        switch (classOf(c)) {
        case Quote:
            if (c == quote)
                return true;
            ++m_p;
            break;
        case Plain:
        case Bracket:
            ++m_p;
            break;
        case Space:
            *plain = false;
            ++m_p;
            break;
        case Amp:
            *plain = false;
            if (!scanReference())
                return false;
            break;
        case High:
            if (!scanUtf8())
                return false;
            break;
        default:
            return false; // '<' or a control character
        }
    }
    return false;
}

bool XmlScanner::scanReference()
{
    const size_t n = XmlReferences::length(m_p, m_end);
    m_p += n;
    return n > 0;
}

bool XmlScanner::scanUtf8()
{
    const size_t n = utf8Sequence(m_p, size_t(m_end - m_p));
    m_p += n;
    return n > 0;
}

// The length of the multi-byte UTF-8 sequence of an XML character at bytes (no overlong forms,
// surrogates, U+FFFE/U+FFFF or code points past U+10FFFF); 0 when there is none.
size_t XmlScanner::utf8Sequence(const char *bytes, size_t left)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned c0 = p[0];
    const auto cont = [&](size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    size_t n;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        n = 2;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        n = 3;
        if (!cont(1))
            return 0;
        if ((c0 == 0xE0 && p[1] < 0xA0) || (c0 == 0xED && p[1] > 0x9F))
            return 0;
        if (c0 == 0xEF && p[1] == 0xBF && 2 < left && (p[2] == 0xBE || p[2] == 0xBF))
            return 0;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        n = 4;
        if (!cont(1))
            return 0;
        if ((c0 == 0xF0 && p[1] < 0x90) || (c0 == 0xF4 && p[1] > 0x8F))
            return 0;
    } else {
        return 0;
    }
    for (size_t i = 1; i < n; ++i) {
        if (!cont(i))
            return 0;
    }
    return n;
}

const XmlScanner::Attribute *XmlScanner::attribute(std::string_view name) const
{
    for (const Attribute &a : m_attributes) {
        if (!a.prefixed && a.name == name)
            return &a;
    }
    return nullptr;
}

void XmlScanner::appendDecodedText(std::string *out) const
{
    XmlReferences::appendDecoded(m_text, m_textCData ? XmlReferences::Blanks::CData : XmlReferences::Blanks::Text, out);
}

std::string_view XmlScanner::decodedValue(const Attribute &attribute, std::string *buffer)
{
    buffer->clear();
    XmlReferences::appendDecoded(attribute.value, XmlReferences::Blanks::Attribute, buffer);
    return *buffer;
}

XmlScanner::Token XmlScanner::next()
{
    if (m_complete || m_stopped || m_pendingEnd)
        return scanToken();
    // Bytes may still be coming. A token cut off where they end so far reads as unsure (or, past
    // the root element, as the end of the document) and nothing else: a token read whole depends
    // on no byte after it. So such a token is read again, from its start, once more have come.
    const char *tokenStart = m_p;
    const size_t namespaces = m_namespaces.size();
    const Token last = m_last;
    for (;;) {
        const Token t = scanToken();
        if ((t != Unsure && t != EndDocument) || m_complete)
            return t;
        m_p = tokenStart;
        m_stopped = false;
        m_pendingEnd = false;
        m_last = last;
        for (; m_namespaces.size() > namespaces; m_namespaces.pop_back())
            --m_declared[m_namespaces.back()];
        waitForMore(tokenStart);
    }
}

// Waits until the bytes from the token's start on are at least twice as many as now, so that a
// long token is read again only a few times.
void XmlScanner::waitForMore(const char *tokenStart)
{
    const size_t have = size_t(m_end - m_begin);
    const size_t want = have + std::max<size_t>(size_t(m_end - tokenStart), 1);
    m_end = m_begin + m_stream->waitFor(want, &m_complete);
}

XmlScanner::Token XmlScanner::scanToken()
{
    if (m_stopped)
        return m_last == EndDocument ? EndDocument : unsure();
    if (m_pendingEnd) {
        m_token = m_p;
        m_pendingEnd = false;
        m_name = m_open.back().local;
        popElement();
        return m_last = EndElement;
    }
    for (;;) {
        if (m_open.empty()) {
            skipBlanks();
            if (m_p == m_end) {
                if (!m_rootDone)
                    return unsure();
                m_stopped = true;
                return m_last = EndDocument;
            }
            if (*m_p != '<' || m_end - m_p < 2)
                return unsure();
            if (m_p[1] == '!') {
                if (!scanComment())
                    return unsure();
                continue;
            }
            m_token = m_p;
            if (m_rootDone || !scanStartTag())
                return unsure();
            return m_last = StartElement;
        }
        if (m_p == m_end)
            return unsure();
        m_token = m_p;
        if (*m_p != '<') {
            if (!scanText())
                return unsure();
            return m_last = Characters;
        }
        if (m_end - m_p < 2)
            return unsure();
        switch (m_p[1]) {
        case '/':
            if (!scanEndTag())
                return unsure();
            return m_last = EndElement;
        case '!':
            if (m_end - m_p >= 4 && m_p[2] == '-' && m_p[3] == '-') {
                if (!scanComment())
                    return unsure();
                continue;
            }
            if (!scanCData())
                return unsure();
            return m_last = Characters;
        case '?':
            return unsure();
        default:
            if (!scanStartTag())
                return unsure();
            return m_last = StartElement;
        }
    }
}

} // namespace QXlsx
