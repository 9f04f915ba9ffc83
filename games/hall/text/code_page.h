// "The ANSI code page": the narrow character set in which the hall talks to its windows, file
// names and logs. It is the character set of the user's locale (LC_ALL, LC_CTYPE, LANG), which is
// normally UTF-8; the C locale's plain ASCII is taken as UTF-8 so that the hall's own Chinese
// texts survive. Any other stateless character set that iconv knows can be chosen, CP936 (GBK)
// among them, so the double-byte behaviour can be exercised on any machine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hall {

inline constexpr std::string_view kUtf8CodePage = "UTF-8";
inline constexpr std::string_view kGbkCodePage = "CP936";
// Stands in for a character that the ANSI code page cannot express.
inline constexpr char kAnsiDefaultChar = '?';

// The character set of a locale name ("" = the one the environment selects). UTF-8 when the
// locale is unknown or is plain ASCII.
std::string CharsetOfLocale(const char* locale_name);

// The process-wide ANSI code page (an iconv character-set name). Safe from any thread.
std::string AnsiCodePage();

// Selects the ANSI code page; an empty name returns to the locale's. False (and nothing changed)
// when iconv cannot convert between `charset` and UTF-16.
bool SetAnsiCodePage(std::string_view charset);

// True when `charset` names UTF-8 ("UTF-8", "utf8", ...).
bool IsUtf8Charset(std::string_view charset);

// Decodes text in `charset`; each byte that does not start a valid character becomes U+FFFD.
std::u16string DecodeCharset(std::string_view text, std::string_view charset);

// Writes as many whole characters of `utf16` as fit into `out` (out_size bytes including the
// terminator) in `charset` and terminates it; characters the set lacks become '?'. Returns the
// bytes written without the terminator. With out_size 0 nothing is written.
size_t EncodeCharset(std::u16string_view utf16, std::string_view charset, char* out,
                     size_t out_size);

// Whole-text forms.
std::string EncodeCharset(std::u16string_view utf16, std::string_view charset);

}  // namespace hall
