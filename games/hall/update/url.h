// URLs of the update server: list paths and base URLs made safe for libcurl.
#pragma once

#include <string>
#include <string_view>

namespace hall {

// Copies `src` into `dst`, writing a blank, '=', '%' and every byte of 0x80 or more as '%' and
// two lower-case hex digits. False when either pointer is null.
// REQUIRES: `dst` holds 3 x strlen(src) + 1 bytes.
bool EscapeUrl(const char* src, char* dst);
std::string EscapeUrl(std::string_view src);

// The URL form of an ANSI text (a base URL followed by a list path): converted to UTF-8, every
// '\' made '/', then escaped as above.
std::string PathToUrl(std::string_view ansi);

}  // namespace hall
