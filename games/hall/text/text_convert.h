// The hall's conversions between UTF-8 (wire strings and its own literals), UTF-16 (some user
// messages) and the ANSI code page (windows, file names, logs; see code_page.h). UTF-8 <-> ANSI
// always goes through UTF-16.
//
// Buffer forms write only whole characters, stop when the buffer is full and always terminate
// their output (given room for at least the terminator). Malformed input characters become
// U+FFFD, characters the ANSI code page lacks become '?'. A null input gives an empty output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hall {

// Output capacity of `Utf8ToAnsi` without a size: a path buffer.
inline constexpr size_t kAnsiPathCapacity = 260;

// UTF-8 -> ANSI into `out` of out_size bytes. Returns the bytes written without the terminator.
size_t Utf8ToAnsi(const char* utf8, char* out, size_t out_size);
// REQUIRES: `out` holds kAnsiPathCapacity bytes.
void Utf8ToAnsi(const char* utf8, char* out);

// ANSI -> UTF-8 into `out` of out_size bytes (nothing written when out_size <= 0).
void AnsiToUtf8(const char* ansi, char* out, int out_size);

// UTF-16 -> ANSI. Null input: out[0] = 0 and null returned.
char* WideToAnsi(const char16_t* in, char* out, size_t out_size);
// REQUIRES: `out` holds 2 x (units of `in`) + 2 bytes.
char* WideToAnsi(const char16_t* in, char* out);

// UTF-16 -> UTF-8. Null input: out[0] = 0 and `out` returned.
char* WideToUtf8(const char16_t* in, char* out, size_t out_size);
// REQUIRES: `out` holds the UTF-8 size of `in` + 1 bytes (Utf16ToUtf8(in).size() + 1).
char* WideToUtf8(const char16_t* in, char* out);

// ANSI -> UTF-16. Null input: out[0] = 0 and null returned.
char16_t* AnsiToWide(const char* in, char16_t* out, size_t out_size);
// REQUIRES: `out` holds strlen(in) + 1 units (always enough).
char16_t* AnsiToWide(const char* in, char16_t* out);

// Whole-text forms for code that holds strings.
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view utf16);
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace hall
