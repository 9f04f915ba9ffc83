// Writes the image fuzzer's seed inputs into a folder (fuzz/corpus/image_decode holds what it
// wrote): small PNGs and BMPs of the layouts the decoders take, written by SDL and SDL_image
// (true colour, with and without alpha, palettes) and by hand (the old core header, top-down rows,
// 1-bit and run-length rows), at a few sizes up to the side cap; the local gate's captcha; and
// whole images one pixel past the side cap.
//   image_decode_seeds <folder>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_util.h"
#include "testing/gate/captcha_png.h"

namespace {

// A surface of `format` filled with a gradient (palette formats get a grey ramp).
SDL_Surface* Picture(int w, int h, Uint32 format) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format);
  if (s == nullptr)
    return nullptr;
  if (s->format->palette != nullptr) {
    std::vector<SDL_Color> colours(256);
    for (int i = 0; i < 256; ++i)
      colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(i / 2), 255};
    SDL_SetPaletteColors(s->format->palette, colours.data(), 0, 256);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      SDL_Rect px{x, y, 1, 1};
      SDL_FillRect(
          s, &px, SDL_MapRGBA(s->format, Uint8(x * 37), Uint8(y * 59), Uint8(x ^ y), Uint8(x * 7)));
    }
  }
  return s;
}

// What SDL writes for `s` (PNG through SDL_image, or BMP).
std::string Encode(SDL_Surface* s, bool png) {
  std::vector<char> buffer(8 << 20);
  SDL_RWops* rw = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
  const int saved = png ? IMG_SavePNG_RW(s, rw, 0) : SDL_SaveBMP_RW(s, rw, 0);
  const Sint64 size = SDL_RWtell(rw);
  SDL_RWclose(rw);
  SDL_FreeSurface(s);
  if (saved != 0 || size <= 0)
    return "";
  return std::string(buffer.data(), static_cast<size_t>(size));
}

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v));
  out->push_back(static_cast<char>(v >> 8));
}

void Put32(std::string* out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

// A BMP by hand: a core header (12 bytes) when `core`, else an info header (40 bytes), then
// `palette` entries (3 or 4 bytes each to match the header) and the pixel data as given.
std::string Bmp(bool core, int32_t w, int32_t h, int bpp, uint32_t compression, int palette,
                const std::string& pixels) {
  const uint32_t header = core ? 12 : 40;
  const uint32_t entry = core ? 3 : 4;
  const uint32_t offset = 14 + header + palette * entry;
  std::string out = "BM";
  Put32(&out, offset + static_cast<uint32_t>(pixels.size()));
  Put32(&out, 0);
  Put32(&out, offset);
  Put32(&out, header);
  if (core) {
    Put16(&out, static_cast<uint32_t>(w));
    Put16(&out, static_cast<uint32_t>(h));
    Put16(&out, 1);
    Put16(&out, bpp);
  } else {
    Put32(&out, static_cast<uint32_t>(w));
    Put32(&out, static_cast<uint32_t>(h));
    Put16(&out, 1);
    Put16(&out, bpp);
    Put32(&out, compression);
    Put32(&out, static_cast<uint32_t>(pixels.size()));
    Put32(&out, 2835);
    Put32(&out, 2835);
    Put32(&out, palette);
    Put32(&out, 0);
  }
  for (int i = 0; i < palette; ++i) {
    out.push_back(static_cast<char>(i * 90));
    out.push_back(static_cast<char>(255 - i * 60));
    out.push_back(static_cast<char>(i * 30));
    if (!core)
      out.push_back('\0');
  }
  return out + pixels;
}

// Rows of 24-bit pixels, each padded to four bytes.
std::string Rows24(int w, int h) {
  std::string out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      out.push_back(static_cast<char>(x * 40));
      out.push_back(static_cast<char>(y * 70));
      out.push_back(static_cast<char>(x + y));
    }
    out.append((4 - (w * 3) % 4) % 4, '\0');
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  if (!platform::MakeDirectories(folder)) {
    std::fprintf(stderr, "cannot make %s\n", folder.c_str());
    return 1;
  }
  // An RLE8 image of 4x2: a run, literal pixels, end of line, end of bitmap.
  const std::string rle8("\x04\x01\x00\x00\x00\x04\x02\x03\x02\x01\x00\x00\x00\x01", 14);
  const struct {
    const char* name;
    std::string bytes;
  } seeds[] = {
      {"png-argb-1x1.png", Encode(Picture(1, 1, SDL_PIXELFORMAT_ARGB8888), true)},
      {"png-argb-30x12.png", Encode(Picture(30, 12, SDL_PIXELFORMAT_ARGB8888), true)},
      {"png-rgb-10x7.png", Encode(Picture(10, 7, SDL_PIXELFORMAT_RGB24), true)},
      {"png-palette-16x16.png", Encode(Picture(16, 16, SDL_PIXELFORMAT_INDEX8), true)},
      {"png-argb-4096x1.png", Encode(Picture(4096, 1, SDL_PIXELFORMAT_ARGB8888), true)},
      {"png-argb-1x4096.png", Encode(Picture(1, 4096, SDL_PIXELFORMAT_ARGB8888), true)},
      {"png-stored-5x3.png", testgate::EncodePng(5, 3, std::vector<uint8_t>(5 * 3 * 3, 0x5a))},
      {"png-captcha.png", testgate::DrawCaptchaPng("AB23", 7)},
      {"png-argb-4097x1.png", Encode(Picture(4097, 1, SDL_PIXELFORMAT_ARGB8888), true)},
      {"bmp-argb-9x5.bmp", Encode(Picture(9, 5, SDL_PIXELFORMAT_ARGB8888), false)},
      {"bmp-rgb-7x3.bmp", Encode(Picture(7, 3, SDL_PIXELFORMAT_RGB24), false)},
      {"bmp-palette-6x4.bmp", Encode(Picture(6, 4, SDL_PIXELFORMAT_INDEX8), false)},
      {"bmp-rgb-4096x1.bmp", Encode(Picture(4096, 1, SDL_PIXELFORMAT_RGB24), false)},
      {"bmp-rgb-1x4096.bmp", Encode(Picture(1, 4096, SDL_PIXELFORMAT_RGB24), false)},
      {"bmp-core-3x2.bmp", Bmp(true, 3, 2, 24, 0, 0, Rows24(3, 2))},
      {"bmp-topdown-4x3.bmp", Bmp(false, 4, -3, 24, 0, 0, Rows24(4, 3))},
      {"bmp-1bit-8x2.bmp", Bmp(false, 8, 2, 1, 0, 2, std::string("\xa5\0\0\0\x5a\0\0\0", 8))},
      {"bmp-rle8-4x2.bmp", Bmp(false, 4, 2, 8, 1, 4, rle8)},
      {"bmp-rgb-4097x1.bmp", Bmp(false, 4097, 1, 24, 0, 0, Rows24(4097, 1))},
  };
  int failed = 0;
  for (const auto& seed : seeds) {
    const std::string path = platform::JoinPath(folder, seed.name);
    if (seed.bytes.empty() || !platform::WriteFileAtomic(path, seed.bytes)) {
      std::fprintf(stderr, "could not write %s: %s\n", path.c_str(), SDL_GetError());
      failed = 1;
    }
  }
  return failed;
}
