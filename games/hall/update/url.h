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

// The URL of the list file `list_path` (ANSI, as the check-list names it) below `base`: both as
// PathToUrl makes them, with the path's '?' and '#' also escaped, so that a file name can never
// turn into a query or a fragment.
std::string ListFileUrl(std::string_view base, std::string_view list_path);

}  // namespace hall
