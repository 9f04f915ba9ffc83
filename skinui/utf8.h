// UTF-8 walking for the controls: text lives in UTF-8 (the ANSI code page of the hall on Linux).
#pragma once

#include <string>
#include <string_view>

namespace skinui {

// Code points of `text`; a malformed byte becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
void AppendUtf8(std::string& out, char32_t c);
// Length of `text` without its last character (0 for an empty text).
size_t DropLastCharacter(std::string_view text);

}  // namespace skinui
