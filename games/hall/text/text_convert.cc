#include "games/hall/text/text_convert.h"

#include <cstring>

#include "games/hall/text/code_page.h"
#include "games/hall/text/utf.h"

namespace hall {

size_t Utf8ToAnsi(const char* utf8, char* out, size_t out_size) {
  if (out_size == 0)
    return 0;
  if (utf8 == nullptr) {
    out[0] = 0;
    return 0;
  }
  return EncodeCharset(Utf8ToUtf16(utf8), AnsiCodePage(), out, out_size);
}

void Utf8ToAnsi(const char* utf8, char* out) {
  Utf8ToAnsi(utf8, out, kAnsiPathCapacity);
}

void AnsiToUtf8(const char* ansi, char* out, int out_size) {
  if (out_size <= 0)
    return;
  if (ansi == nullptr) {
    out[0] = 0;
    return;
  }
  EncodeUtf8(DecodeCharset(ansi, AnsiCodePage()), out, static_cast<size_t>(out_size));
}

char* WideToAnsi(const char16_t* in, char* out, size_t out_size) {
  if (out_size > 0)
    out[0] = 0;
  if (in == nullptr)
    return nullptr;
  EncodeCharset(std::u16string_view(in, Utf16Length(in)), AnsiCodePage(), out, out_size);
  return out;
}

char* WideToAnsi(const char16_t* in, char* out) {
  size_t units = in == nullptr ? 0 : Utf16Length(in);
  return WideToAnsi(in, out, 2 * units + 2);
}

char* WideToUtf8(const char16_t* in, char* out, size_t out_size) {
  if (out_size > 0)
    out[0] = 0;
  if (in == nullptr)
    return out;
  EncodeUtf8(std::u16string_view(in, Utf16Length(in)), out, out_size);
  return out;
}

char* WideToUtf8(const char16_t* in, char* out) {
  if (in == nullptr)
    return WideToUtf8(in, out, 1);
  std::u16string_view text(in, Utf16Length(in));
  return WideToUtf8(in, out, Utf16ToUtf8(text).size() + 1);
}

char16_t* AnsiToWide(const char* in, char16_t* out, size_t out_size) {
  if (out_size > 0)
    out[0] = 0;
  if (in == nullptr)
    return nullptr;
  CopyUtf16(DecodeCharset(in, AnsiCodePage()), out, out_size);
  return out;
}

char16_t* AnsiToWide(const char* in, char16_t* out) {
  return AnsiToWide(in, out, in == nullptr ? 1 : std::strlen(in) + 1);
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  return DecodeCharset(ansi, AnsiCodePage());
}

std::string Utf16ToAnsi(std::u16string_view utf16) {
  return EncodeCharset(utf16, AnsiCodePage());
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return Utf16ToAnsi(Utf8ToUtf16(utf8));
}

std::string AnsiToUtf8(std::string_view ansi) {
  return Utf16ToUtf8(AnsiToUtf16(ansi));
}

}  // namespace hall
