// Entity escaping of names, values and texts. Documents keep these in their escaped form and
// decode them on request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmldoc {

// Escapes `in`: '&' -> "&amp;", '<' -> "&lt;", '>' -> "&gt;", '"' -> "&quot;", '\'' -> "&apos;".
// With `keep_numeric_references` an '&' followed by '#' is left as it stands, so a caller may store
// a numeric reference it wrote itself. Appends to `out` when it is not null; returns the length of
// the escaped text either way.
size_t XmlEncodeEntities(std::string_view in, std::string* out,
                         bool keep_numeric_references = true);
std::string XmlEncodeEntities(std::string_view in, bool keep_numeric_references = true);

// Replaces the five named entities and numeric references ("&#65;", "&#x4E2D;") by their
// characters, numeric ones as UTF-8. The ';' after the digits is optional and consumed only when
// present. A reference to NUL, a surrogate or a code point above U+10FFFF becomes U+FFFD; any '&'
// that begins none of these is copied as it stands. The result is never longer than `in`.
// Appends to `out`; returns the length appended.
size_t XmlDecodeEntities(std::string_view in, std::string* out);
std::string XmlDecodeEntities(std::string_view in);

// Appends the UTF-8 form of `code_point`, U+FFFD for a value that is no character.
void AppendUtf8(char32_t code_point, std::string* out);

}  // namespace xmldoc
