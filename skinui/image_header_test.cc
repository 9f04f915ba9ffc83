#include "skinui/image_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace skinui {
namespace {

std::string Png(uint32_t width, uint32_t height, uint32_t header_length = 13) {
  std::string b("\x89PNG\r\n\x1a\n", 8);
  for (uint32_t v : {header_length}) {
    for (int s = 24; s >= 0; s -= 8)
      b.push_back(static_cast<char>(v >> s));
  }
  b += "IHDR";
  for (uint32_t v : {width, height}) {
    for (int s = 24; s >= 0; s -= 8)
      b.push_back(static_cast<char>(v >> s));
  }
  b.append(5, '\0');
  return b;
}

std::string Bmp(uint32_t header_size, int32_t width, int32_t height) {
  std::string b = "BM";
  b.append(12, '\0');
  auto put = [&b](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
      b.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(header_size, 4);
  const int side_bytes = header_size == 12 ? 2 : 4;
  put(static_cast<uint32_t>(width), side_bytes);
  put(static_cast<uint32_t>(height), side_bytes);
  b.append(header_size == 12 ? 4 : 28, '\0');
  return b;
}

TEST(ImageHeaderTest, OnlyPngAndBmpWithinTheCapsAreTaken) {
  const struct {
    const char* name;
    std::string bytes;
    bool taken;
    ImageFormat format = ImageFormat::kPng;
    int width = 0, height = 0;
  } cases[] = {
      {"png", Png(30, 12), true, ImageFormat::kPng, 30, 12},
      {"png at the side cap", Png(kMaxImageSide, 1), true, ImageFormat::kPng, kMaxImageSide, 1},
      {"png wider than the cap", Png(kMaxImageSide + 1, 1), false},
      {"png taller than the cap", Png(1, kMaxImageSide + 1), false},
      {"png of no pixels", Png(0, 5), false},
      {"png of 2^32-1 pixels a side", Png(0xFFFFFFFF, 0xFFFFFFFF), false},
      {"png header of the wrong length", Png(30, 12, 12), false},
      {"png cut inside its header", Png(30, 12).substr(0, 28), false},
      {"info bmp", Bmp(40, 48, 12), true, ImageFormat::kBmp, 48, 12},
      {"top-down bmp", Bmp(40, 48, -48), true, ImageFormat::kBmp, 48, 48},
      {"bmp of the most negative height", Bmp(40, 4, INT32_MIN), false},
      {"bmp of negative width", Bmp(40, -4, 4), false},
      {"bmp wider than the cap", Bmp(124, kMaxImageSide + 1, 1), false},
      {"core bmp", Bmp(12, 300, 2), true, ImageFormat::kBmp, 300, 2},
      // A core header's sizes are 16-bit: read as 32-bit they would pass as 2 x 1 here.
      {"core bmp wider than the cap", Bmp(12, 0x8002, 1), false},
      {"bmp cut before its sizes", Bmp(40, 4, 4).substr(0, 25), false},
      {"gif", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13), false},
      {"svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'/>", false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    ImageHeader header;
    ASSERT_EQ(ReadImageHeader(c.bytes, &header), c.taken) << c.name;
    if (c.taken) {
      EXPECT_EQ(header.format, c.format) << c.name;
      EXPECT_EQ(header.width, c.width) << c.name;
      EXPECT_EQ(header.height, c.height) << c.name;
    }
  }
  // Whatever the header says, more bytes than the cap are not an image the hall takes.
  std::string padded = Png(30, 12);
  padded.resize(kMaxImageBytes, '\0');
  ImageHeader header;
  EXPECT_TRUE(ReadImageHeader(padded, &header));
  padded.push_back('\0');
  EXPECT_FALSE(ReadImageHeader(padded, &header));
}

}  // namespace
}  // namespace skinui
