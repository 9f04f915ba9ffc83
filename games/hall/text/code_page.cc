#include "games/hall/text/code_page.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <bit>
#include <cctype>
#include <mutex>
#include <vector>

#include "games/hall/text/utf.h"

namespace hall {
namespace {

constexpr const char* kHostUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

std::mutex& CodePageMutex() {
  static std::mutex mutex;
  return mutex;
}

// Empty while the locale's own character set is in force.
std::string& ChosenCodePage() {
  static std::string chosen;
  return chosen;
}

// One iconv descriptor, closed on every way out.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok())
      iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as fits; returns (size_t)-1 with errno set like iconv(3).
  size_t Convert(char** in, size_t* in_left, char** out, size_t* out_left) {
    return iconv(cd_, in, in_left, out, out_left);
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsUtf8Charset(std::string_view charset) {
  std::string folded;
  for (char c : charset) {
    if (c == '-' || c == '_')
      continue;
    folded.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return folded == "UTF8";
}

std::string CharsetOfLocale(const char* locale_name) {
  locale_t loc = newlocale(LC_CTYPE_MASK, locale_name, static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0))
    return std::string(kUtf8CodePage);
  std::string charset = nl_langinfo_l(CODESET, loc);
  freelocale(loc);
  if (charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII") {
    return std::string(kUtf8CodePage);
  }
  return charset;
}

std::string AnsiCodePage() {
  {
    std::lock_guard<std::mutex> lock(CodePageMutex());
    if (!ChosenCodePage().empty())
      return ChosenCodePage();
  }
  static const std::string locale_charset = CharsetOfLocale("");
  return locale_charset;
}

bool SetAnsiCodePage(std::string_view charset) {
  std::string name(charset);
  if (!name.empty() && !IsUtf8Charset(name)) {
    Converter to(name, kHostUtf16), from(kHostUtf16, name);
    if (!to.ok() || !from.ok())
      return false;
  }
  std::lock_guard<std::mutex> lock(CodePageMutex());
  ChosenCodePage() = name;
  return true;
}

std::u16string DecodeCharset(std::string_view text, std::string_view charset) {
  if (IsUtf8Charset(charset))
    return Utf8ToUtf16(text);
  std::u16string out;
  Converter cd(kHostUtf16, std::string(charset));
  if (!cd.ok()) {
    // An unknown set: keep ASCII, mark the rest.
    for (unsigned char c : text)
      out.push_back(c < 0x80 ? c : kReplacementChar);
    return out;
  }
  // No character set makes more than two UTF-16 units of one byte.
  std::vector<char16_t> buf(text.size() * 2 + 2);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* dst = reinterpret_cast<char*>(buf.data());
  size_t dst_left = buf.size() * sizeof(char16_t);
  auto flush = [&] {
    size_t units = (buf.size() * sizeof(char16_t) - dst_left) / sizeof(char16_t);
    out.append(buf.data(), units);
    dst = reinterpret_cast<char*>(buf.data());
    dst_left = buf.size() * sizeof(char16_t);
  };
  while (in_left > 0) {
    if (cd.Convert(&in, &in_left, &dst, &dst_left) != static_cast<size_t>(-1))
      break;
    flush();
    if (errno == E2BIG)
      continue;
    // EILSEQ (a byte that starts no character) or EINVAL (a character cut off at the end).
    out.push_back(kReplacementChar);
    ++in;
    --in_left;
  }
  flush();
  return out;
}

size_t EncodeCharset(std::u16string_view utf16, std::string_view charset, char* out,
                     size_t out_size) {
  if (out_size == 0)
    return 0;
  std::u16string clean = SanitizeUtf16(utf16);
  if (IsUtf8Charset(charset))
    return EncodeUtf8(clean, out, out_size);
  Converter cd(std::string(charset), kHostUtf16);
  char* dst = out;
  size_t dst_left = out_size - 1;
  if (!cd.ok()) {
    for (char16_t u : clean) {
      if (dst_left == 0)
        break;
      *dst++ = u < 0x80 ? static_cast<char>(u) : kAnsiDefaultChar;
      --dst_left;
    }
    *dst = 0;
    return static_cast<size_t>(dst - out);
  }
  char* in = reinterpret_cast<char*>(clean.data());
  size_t in_left = clean.size() * sizeof(char16_t);
  while (in_left > 0) {
    // iconv writes whole characters only: E2BIG means the next one does not fit.
    if (cd.Convert(&in, &in_left, &dst, &dst_left) != static_cast<size_t>(-1))
      break;
    if (errno != EILSEQ || dst_left == 0)
      break;
    *dst++ = kAnsiDefaultChar;
    --dst_left;
    char16_t u = *reinterpret_cast<char16_t*>(in);
    size_t units = (u >= 0xD800 && u <= 0xDBFF) ? 2 : 1;  // pairs are whole after sanitising
    in += units * sizeof(char16_t);
    in_left -= units * sizeof(char16_t);
  }
  *dst = 0;
  return static_cast<size_t>(dst - out);
}

std::string EncodeCharset(std::u16string_view utf16, std::string_view charset) {
  // Four bytes per unit covers every character set iconv offers (GB18030 at most).
  std::string out(utf16.size() * 4 + 1, '\0');
  out.resize(EncodeCharset(utf16, charset, out.data(), out.size()));
  return out;
}

}  // namespace hall
