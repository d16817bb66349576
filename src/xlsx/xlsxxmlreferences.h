#pragma once
// Character and entity references of XML text and attribute values: checked where the scanner
// meets them, decoded (in one place) where a reader asks for the text.

#include <cstddef>
#include <string>
#include <string_view>

namespace QXlsx {
namespace XmlReferences {

// The length of the reference at p (on its '&') up to and including its ';': one of the five
// predefined entities, or &#digits; / &#xhex; naming an XML character. 0 for anything else,
// and when the bytes up to end do not hold it whole.
size_t length(const char *p, const char *end);

// How the blanks of raw bytes read: in text a line end (CR LF or a lone CR) is LF; in CDATA the
// same, and '&' stands for itself; in an attribute value every line end and tab is a blank.
enum class Blanks { Text, CData, Attribute };

// Appends raw bytes, checked by the scanner, as a reader reports them: references resolved,
// blanks as said.
void appendDecoded(std::string_view raw, Blanks blanks, std::string *out);

} // namespace XmlReferences
} // namespace QXlsx
