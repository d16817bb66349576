// The fast paths of the scanner: elements of the forms most cells and values have, taken whole
// when their bytes are plain, so that the token reader is not walked for them.
#include "xlsx/xlsxxmlscanner.h"

#include "xlsx/xlsxxmlbytes.h"

namespace QXlsx {

using namespace XmlBytes;

// The bytes of plain text up to the next '<' (what takeTextElement takes); null when there are others.
inline const char *XmlScanner::plainText(const char *p, std::string_view *text) const
{
    const char *start = p;
    for (;;) {
        while (p < m_end && (classOf(*p) == Plain || classOf(*p) == Quote))
            ++p;
        if (p == m_end)
            return nullptr;
        if (classOf(*p) != High)
            break;
        const size_t n = utf8Sequence(p, size_t(m_end - p));
        if (n == 0)
            return nullptr;
        p += n;
    }
    if (*p != '<')
        return nullptr;
    *text = std::string_view(start, size_t(p - start));
    return p;
}

// <name> or </name> at p: the byte after it, or null.
inline const char *XmlScanner::tag(const char *p, std::string_view name, bool end) const
{
    const size_t length = name.size() + (end ? 3 : 2);
    if (size_t(m_end - p) < length || p[0] != '<' || (end && p[1] != '/')
        || !sameBytes(std::string_view(p + (end ? 2 : 1), name.size()), name) || p[length - 1] != '>')
        return nullptr;
    return p + length;
}

// <name attributes> or <name attributes/> with plain attributes, at p: the byte after it (null for
// anything else), its attributes in m_simpleAttributes.
inline const char *XmlScanner::plainStartTag(const char *p, std::string_view name, bool *empty)
{
    if (size_t(m_end - p) < name.size() + 2 || p[0] != '<' || !sameBytes(std::string_view(p + 1, name.size()), name))
        return nullptr;
    p += 1 + name.size();
    m_simpleAttributes.clear();
    for (;;) {
        if (p == m_end)
            return nullptr;
        if (*p == '>') {
            *empty = false;
            return p + 1;
        }
        if (*p == '/') {
            if (m_end - p < 2 || p[1] != '>')
                return nullptr;
            *empty = true;
            return p + 2;
        }
        if (*p != ' ')
            return nullptr;
        while (p < m_end && *p == ' ')
            ++p;
        const char *nameStart = p;
        if (p == m_end || !isNameStart(*p))
            return nullptr;
        while (++p < m_end && isNameChar(*p)) {
        }
        const std::string_view attribute(nameStart, size_t(p - nameStart));
        if (m_end - p < 2 || p[0] != '=' || (p[1] != '"' && p[1] != '\'') || attribute == "xmlns")
            return nullptr;
        const char quote = p[1];
        p += 2;
        const char *valueStart = p;
        while (p < m_end && (classOf(*p) == Plain || classOf(*p) == Bracket))
            ++p;
        if (p == m_end || *p != quote)
            return nullptr;
        for (const Attribute &other : m_simpleAttributes) {
            if (sameBytes(other.name, attribute))
                return nullptr;
        }
        if (m_simpleAttributes.size() == 16)
            return nullptr;
        m_simpleAttributes.push_back({std::string_view(), attribute, std::string_view(valueStart, size_t(p - valueStart)),
                                      false, true});
        ++p; // the closing quote
        if (p < m_end && *p != ' ' && *p != '>' && *p != '/')
            return nullptr; // attributes must be separated by blanks
    }
}

bool XmlScanner::takeSimpleElement(std::string_view name, const TextForm *forms, int formCount, int *form,
                                   std::string_view *text)
{
    // Taken whole, the element is never open: only its depth is checked, as next() would.
    if (m_stopped || m_pendingEnd || m_open.empty() || m_open.size() + 3 > maxDepth)
        return false;
    bool empty = false;
    const char *p = plainStartTag(m_p, name, &empty);
    if (!p)
        return false;
    if (empty) {
        *form = -1;
        *text = std::string_view();
    } else {
        int f = 0;
        for (; f < formCount; ++f) {
            const TextForm &candidate = forms[f];
            const char *q = p;
            if (!candidate.outer.empty())
                q = tag(q, candidate.outer, false);
            if (q)
                q = tag(q, candidate.inner, false);
            if (q)
                q = plainText(q, text);
            if (q)
                q = tag(q, candidate.inner, true);
            if (q && !candidate.outer.empty())
                q = tag(q, candidate.outer, true);
            if (q)
                q = tag(q, name, true);
            if (q) {
                p = q;
                break;
            }
        }
        if (f == formCount)
            return false;
        *form = f;
    }
    m_p = p;
    m_attributes.swap(m_simpleAttributes);
    m_name = name;
    m_last = EndElement;
    return true;
}

bool XmlScanner::takeTextElement(std::string_view name, std::string_view *text)
{
    if (m_stopped || m_pendingEnd || m_open.empty() || m_open.size() >= maxDepth)
        return false;
    const char *p = tag(m_p, name, false);
    if (p)
        p = plainText(p, text);
    if (p)
        p = tag(p, name, true);
    if (!p)
        return false;
    m_name = std::string_view(p - name.size() - 1, name.size());
    m_p = p;
    m_last = EndElement;
    return true;
}

} // namespace QXlsx
