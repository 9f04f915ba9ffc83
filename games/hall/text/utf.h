// UTF-8 and UTF-16 (char16_t) codecs. Decoding never fails: every malformed sequence becomes one
// U+FFFD. Encoding into a caller's buffer writes only whole characters (a surrogate pair or a
// multi-byte sequence is never split) and always terminates the output when it has room for
// anything at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hall {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// Decodes UTF-8; each maximal malformed subsequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// `utf16` with every unpaired surrogate replaced by U+FFFD.
std::u16string SanitizeUtf16(std::u16string_view utf16);

// Writes as many whole characters of `utf16` as fit into `out` (out_size bytes including the
// terminating zero) as UTF-8 and terminates it. Returns the bytes written without the
// terminator. With out_size 0 nothing is written.
size_t EncodeUtf8(std::u16string_view utf16, char* out, size_t out_size);

// Copies as many whole characters of `utf16` as fit into `out` (out_size units including the
// terminating zero; a surrogate pair is kept together) and terminates it. Returns the units
// written without the terminator. With out_size 0 nothing is written.
size_t CopyUtf16(std::u16string_view utf16, char16_t* out, size_t out_size);

// Length in units of a zero-terminated UTF-16 text.
size_t Utf16Length(const char16_t* text);

}  // namespace hall
