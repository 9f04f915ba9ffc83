// UTF-8 / UTF-16 conversions for UTF-16 files and paths. Invalid sequences become U+FFFD, so no
// character is ever cut in half.
#pragma once

#include <string>
#include <string_view>

namespace xmldoc {

// UTF-16LE bytes (no byte-order mark handling; an odd last byte is dropped) to UTF-8.
std::string Utf16LeBytesToUtf8(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-8 to UTF-16LE bytes.
std::string Utf8ToUtf16LeBytes(std::string_view text);

}  // namespace xmldoc
