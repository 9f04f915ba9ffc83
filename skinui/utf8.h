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
// The character boundaries after and before byte offset `at` (a boundary itself): a boundary is
// any byte that does not continue a sequence, so a malformed text is still walked one byte at a
// time and never split inside a sequence. Both stay within 0..text.size().
size_t NextCharacter(std::string_view text, size_t at);
size_t PreviousCharacter(std::string_view text, size_t at);

}  // namespace skinui
