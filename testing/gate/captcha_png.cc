#include "testing/gate/captcha_png.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace testgate {
namespace {

// 5 x 7 glyphs of the alphabet, one row a number, the leftmost pixel the highest of five bits.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};

const Glyph* GlyphOf(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c)
      return &g;
  }
  return nullptr;
}

// A small deterministic generator (the pictures need variety, not quality).
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  int Range(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }

 private:
  uint32_t state_;
};

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

uint32_t Crc32(const std::string& bytes) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes)
    c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutFixed32BE(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<char>(v >> shift));
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
  PutFixed32BE(out, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out->append(typed);
  PutFixed32BE(out, Crc32(typed));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string ZlibStored(const std::string& raw) {
  constexpr size_t kMaxStored = 65535;
  std::string out = "\x78\x01";
  size_t at = 0;
  do {
    const size_t n = std::min(kMaxStored, raw.size() - at);
    const bool last = at + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<char>(n & 0xFF));
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(~n & 0xFF));
    out.push_back(static_cast<char>((~n >> 8) & 0xFF));
    out.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutFixed32BE(&out, b << 16 | a);
  return out;
}

}  // namespace

std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  PutFixed32BE(&ihdr, static_cast<uint32_t>(width));
  PutFixed32BE(&ihdr, static_cast<uint32_t>(height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  PutChunk(&out, "IHDR", ihdr);
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<size_t>(y) * width * 3,
               static_cast<size_t>(width) * 3);
  }
  PutChunk(&out, "IDAT", ZlibStored(raw));
  PutChunk(&out, "IEND", "");
  return out;
}

std::string CaptchaText(uint32_t seed) {
  Lcg rng(seed ^ 0x5A5A5A5Au);
  const int n = static_cast<int>(std::strlen(kCaptchaAlphabet));
  std::string text;
  for (int i = 0; i < 4; ++i)
    text.push_back(kCaptchaAlphabet[rng.Range(0, n - 1)]);
  return text;
}

std::string DrawCaptchaPng(const std::string& text, uint32_t seed) {
  constexpr int kW = kCaptchaWidth, kH = kCaptchaHeight, kScale = 4;
  Lcg rng(seed);
  std::vector<uint8_t> px(static_cast<size_t>(kW) * kH * 3);
  auto put = [&](int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= kW || y >= kH)
      return;
    uint8_t* p = &px[(static_cast<size_t>(y) * kW + x) * 3];
    p[0] = static_cast<uint8_t>(r);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(b);
  };
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x)
      put(x, y, rng.Range(215, 255), rng.Range(220, 255), rng.Range(205, 245));
  }
  for (int line = 0; line < 4; ++line) {  // lines across, under the characters
    const int y0 = rng.Range(4, kH - 5), y1 = rng.Range(4, kH - 5);
    const int r = rng.Range(120, 200), g = rng.Range(120, 200), b = rng.Range(120, 200);
    for (int x = 0; x < kW; ++x)
      put(x, y0 + (y1 - y0) * x / kW, r, g, b);
  }
  for (size_t i = 0; i < text.size() && i < 4; ++i) {
    const Glyph* glyph = GlyphOf(text[i]);
    if (glyph == nullptr)
      continue;
    const int left = 8 + static_cast<int>(i) * 27 + rng.Range(-2, 2);
    const int top = 6 + rng.Range(-3, 3);
    const int slant = rng.Range(-1, 1);  // pixels of lean per glyph row
    const int r = rng.Range(20, 110), g = rng.Range(20, 90), b = rng.Range(40, 140);
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if ((glyph->rows[row] >> (4 - col) & 1) == 0)
          continue;
        const int x0 = left + col * kScale + slant * (3 - row);
        const int y0 = top + row * kScale;
        for (int dy = 0; dy < kScale; ++dy) {
          for (int dx = 0; dx < kScale; ++dx)
            put(x0 + dx, y0 + dy, r, g, b);
        }
      }
    }
  }
  for (int dot = 0; dot < 160; ++dot)  // specks over everything
    put(rng.Range(0, kW - 1), rng.Range(0, kH - 1), rng.Range(60, 200), rng.Range(60, 200),
        rng.Range(60, 200));
  return EncodePng(kW, kH, px);
}

}  // namespace testgate
