#pragma once
// Byte classes of the XML scanner: what a byte of text, an attribute value or a name may be,
// looked up in tables rather than compared one range after another.

#include <string_view>

namespace QXlsx {
namespace XmlBytes {

// Byte classes of text and attribute values.
enum : unsigned char {
    Plain,   // stands for itself
    Less,    // '<'
    Amp,     // '&'
    Bracket, // ']' (text: "]]>" is not allowed)
    Quote,   // '"' or '\'' (values: may end them)
    Space,   // '\t', '\n', '\r' (attribute values normalise them; text only '\r')
    Control, // not an XML character
    High     // a byte of a multi-byte UTF-8 sequence
};

struct ByteClasses
{
    unsigned char of[256];
    constexpr ByteClasses() : of()
    {
        for (int c = 0; c < 256; ++c)
            of[c] = c >= 0x80 ? High : c < 0x20 ? Control : Plain;
        of[int('\t')] = of[int('\n')] = of[int('\r')] = Space;
        of[int('<')] = Less;
        of[int('&')] = Amp;
        of[int(']')] = Bracket;
        of[int('"')] = of[int('\'')] = Quote;
    }
};
inline constexpr ByteClasses classes;

inline unsigned char classOf(char c)
{
    return classes.of[static_cast<unsigned char>(c)];
}

// Bytes of names and blanks, looked up rather than compared one range after another.
enum : unsigned char { NameStart = 1, NameChar = 2, Blank = 4 };

struct NameClasses
{
    unsigned char of[256];
    constexpr NameClasses() : of()
    {
        for (int c = 0; c < 256; ++c) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')
                of[c] = NameStart | NameChar;
            else if ((c >= '0' && c <= '9') || c == '-' || c == '.')
                of[c] = NameChar;
        }
        of[int(' ')] = of[int('\t')] = of[int('\n')] = of[int('\r')] = Blank;
    }
};
inline constexpr NameClasses nameClasses;

inline bool isBlank(char c)
{
    return nameClasses.of[static_cast<unsigned char>(c)] & Blank;
}

inline bool isNameStart(char c)
{
    return nameClasses.of[static_cast<unsigned char>(c)] & NameStart;
}

inline bool isNameChar(char c)
{
    return nameClasses.of[static_cast<unsigned char>(c)] & NameChar;
}

// Equal bytes; short names compared in place rather than through a call of memcmp.
inline bool sameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

inline bool isXmlChar(unsigned long u)
{
    return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD)
           || (u >= 0x10000 && u <= 0x10FFFF);
}

} // namespace XmlBytes
} // namespace QXlsx
