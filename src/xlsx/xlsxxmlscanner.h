#pragma once
// A pull scanner for the XML of the large parts (worksheets, the shared string table): it walks
// UTF-8 bytes held whole and hands out names, attribute values and text as ranges of them, without
// copying or decoding what nobody asks for.
//
// It accepts only the plain XML that spreadsheet programs write, and only where QXmlStreamReader
// would accept it too: UTF-8, ASCII names with at most one declared prefix, the predefined entities
// and character references, comments and CDATA sections. Everything else (another encoding, a DTD,
// processing instructions, other names, and every error) stops it with Unsure: the caller then reads
// the part the general way (Xml::plainCopy) and scans that copy. Elements nested deeper than
// maxDepth stop it too, so that its memory stays bounded.
//
// It also reads a part that is still arriving (PartStream): a token that runs past the bytes there
// so far is read again once more have come, so the tokens are those of the whole part.

#include <QString>

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace QXlsx {

// Text the scanner handed out, as a QString. Unlike QString::fromUtf8 it keeps a leading U+FEFF:
// inside a document that is a character of the text, not a byte order mark.
QString fromUtf8(std::string_view text);

class PartStream;

class XmlScanner
{
public:
    enum Token { StartElement, EndElement, Characters, EndDocument, Unsure };
    static constexpr size_t maxDepth = 10000;

    struct Attribute
    {
        std::string_view prefix;
        std::string_view name;  // local name
        std::string_view value; // as written between the quotes: see value()
        bool prefixed;          // in a namespace (xml:space, x14ac:dyDescent, ...) or declaring one
        bool plain;             // the value reads as written (no references, tabs or line ends)
    };

    XmlScanner(const char *data, size_t size);
    // The bytes of the stream, waited for as they are needed.
    explicit XmlScanner(PartStream &stream);

    // The next token; after EndDocument or Unsure it stays there.
    Token next();

    // Skips the rest of the element whose start tag was the last token; false when Unsure.
    bool skipElement();

    // When the next bytes are <name>text</name> with nothing but plain characters in the text (no
    // attributes, blanks in the tags, references or markup), takes that element whole and gives its
    // text: what next() would give as its start, characters and end. False, and nothing taken,
    // for anything else.
    bool takeTextElement(std::string_view name, std::string_view *text);

    // An element of one of the forms most cells of a sheet have, for takeSimpleElement:
    // <name attributes>[<outer>]<inner>text</inner>[</outer>]</name>; outer may be empty.
    struct TextForm
    {
        std::string_view outer;
        std::string_view inner;
    };
    // When the next bytes are <name attributes/>, or one of the forms with text as takeTextElement
    // takes it, and the attributes are plain (unprefixed names, values without references, blanks
    // other than spaces or quotes, no name twice), takes the element whole: what next() would give
    // up to its end. attributes() then gives its attributes, *form the form (-1 for none) and
    // *text the text. False, and nothing taken, for anything else.
    bool takeSimpleElement(std::string_view name, const TextForm *forms, int formCount, int *form,
                           std::string_view *text);

    // The bytes of the last token next() gave: where they begin and end (the end of an
    // empty-element tag has none: both are where the tag ends). For the writer, which copies what
    // it does not change as it was.
    const char *tokenBegin() const { return m_token; }
    const char *tokenEnd() const { return m_p; }
    // The end of the bytes there so far: after EndDocument, of the whole part.
    const char *dataEnd() const { return m_end; }
    // Start element: whether its tag was an empty-element tag (<c/>), and its name as written.
    bool isEmptyElement() const { return m_pendingEnd; }
    std::string_view tagName() const { return m_open.back().qualifiedName; }

    // Start and end element: the local name.
    std::string_view name() const { return m_name; }
    // Start element: its attributes.
    const std::vector<Attribute> &attributes() const { return m_attributes; }
    // The attribute without prefix of that name; null when there is none.
    const Attribute *attribute(std::string_view name) const;

    // Characters: appends the text as UTF-8, references resolved and line ends made "\n".
    void appendText(std::string *out) const
    {
        if (m_textPlain)
            out->append(m_text.data(), m_text.size());
        else
            appendDecodedText(out);
    }
    // An attribute's value as an XML reader reports it (references resolved, line ends and tabs
    // made blanks): the raw bytes when they read as written, else decoded into buffer. Empty for
    // no attribute.
    static std::string_view value(const Attribute *attribute, std::string *buffer)
    {
        if (!attribute)
            return std::string_view();
        return attribute->plain ? attribute->value : decodedValue(*attribute, buffer);
    }

private:
    void start();
    Token scanToken();
    void waitForMore(const char *tokenStart);
    void appendDecodedText(std::string *out) const;
    static std::string_view decodedValue(const Attribute &attribute, std::string *buffer);
    Token unsure();
    bool scanDeclaration();
    bool scanName(std::string_view *prefix, std::string_view *local);
    bool scanEquals(char *quote);
    bool scanStartTag();
    bool scanEndTag();
    bool scanComment();
    bool scanCData();
    bool scanText();
    bool scanAttributeValue(char quote, bool *plain);
    bool scanReference();
    bool scanUtf8();
    static size_t utf8Sequence(const char *bytes, size_t left);
    bool isDeclared(std::string_view prefix) const;
    const char *plainStartTag(const char *p, std::string_view name, bool *empty);
    const char *plainText(const char *p, std::string_view *text) const;
    const char *tag(const char *p, std::string_view name, bool end) const;
    void skipBlanks();
    void popElement();

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    const char *m_token = nullptr; // where the last token began
    PartStream *m_stream = nullptr;
    bool m_complete = true; // no more bytes will come
    bool m_pendingEnd = false; // an empty-element tag: its end comes next
    bool m_rootDone = false;
    bool m_stopped = false;
    Token m_last = Unsure;

    std::string_view m_name;
    std::vector<Attribute> m_attributes;
    std::vector<Attribute> m_simpleAttributes; // those of a simple element being taken
    std::string_view m_text;
    bool m_textCData = false;
    bool m_textPlain = true;

    struct Open
    {
        std::string_view qualifiedName;
        std::string_view local;
        size_t namespaces; // size of m_namespaces before this element's declarations
    };
    std::vector<Open> m_open;
    std::vector<std::string_view> m_namespaces; // declared prefixes in scope, in order
    std::unordered_map<std::string_view, int> m_declared; // the same counted, for lookups
    // Attribute names of a tag with many: qualified, and local names in namespaces.
    std::unordered_set<std::string_view> m_seenQualified;
    std::unordered_set<std::string_view> m_seenLocal;
};

} // namespace QXlsx
