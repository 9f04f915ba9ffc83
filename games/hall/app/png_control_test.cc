#include "games/hall/app/png_control.h"

#include <gtest/gtest.h>

#include "skinui/headless_backend.h"
#include "skinui/test_window.h"
#include "testing/gate/captcha_png.h"

namespace hall {
namespace {

TEST(CheckPngLayoutTest, AWholePngPassesAndEveryShorterPrefixFails) {
  const std::string png = testgate::DrawCaptchaPng("AB23", 1);
  PngHeader header;
  ASSERT_TRUE(CheckPngLayout(png, &header));
  EXPECT_EQ(header.width, testgate::kCaptchaWidth);
  EXPECT_EQ(header.height, testgate::kCaptchaHeight);
  for (size_t n = 0; n < png.size(); ++n)
    EXPECT_FALSE(CheckPngLayout(png.substr(0, n), nullptr)) << n;
}

// The chunks of a PNG as the test spells them: type and data, CRC left zero.
std::string Chunks(std::initializer_list<std::pair<const char*, std::string>> chunks) {
  std::string out("\x89PNG\r\n\x1a\n", 8);
  for (const auto& [type, data] : chunks) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<char>(n >> shift));
    out += type;
    out += data;
    out += std::string(4, '\0');
  }
  return out;
}

std::string Ihdr(uint32_t w, uint32_t h) {
  std::string d;
  for (uint32_t v : {w, h}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      d.push_back(static_cast<char>(v >> shift));
  }
  return d + std::string("\x08\x02\x00\x00\x00", 5);
}

TEST(CheckPngLayoutTest, HeadersAndChunkLengthsAreCheckedBeforeAnyDecoding) {
  const std::string idat(20, 'x');
  std::string lying_length = Chunks({{"IHDR", Ihdr(10, 10)}, {"IDAT", idat}, {"IEND", ""}});
  lying_length[33 + 3] = '\x7F';  // the IDAT length now runs past the end
  struct Case {
    const char* what;
    std::string bytes;
    bool ok;
  } cases[] = {
      {"minimal", Chunks({{"IHDR", Ihdr(10, 10)}, {"IEND", ""}}), true},
      {"largest sides", Chunks({{"IHDR", Ihdr(kMaxPngSide, kMaxPngSide)}, {"IEND", ""}}), true},
      {"wider than taken", Chunks({{"IHDR", Ihdr(kMaxPngSide + 1, 10)}, {"IEND", ""}}), false},
      {"taller than taken", Chunks({{"IHDR", Ihdr(10, kMaxPngSide + 1)}, {"IEND", ""}}), false},
      {"a side of 2^31", Chunks({{"IHDR", Ihdr(0x80000000u, 10)}, {"IEND", ""}}), false},
      {"zero width", Chunks({{"IHDR", Ihdr(0, 10)}, {"IEND", ""}}), false},
      {"IHDR not first", Chunks({{"IDAT", idat}, {"IHDR", Ihdr(10, 10)}, {"IEND", ""}}), false},
      {"IHDR too short", Chunks({{"IHDR", Ihdr(10, 10).substr(0, 12)}, {"IEND", ""}}), false},
      {"no IEND", Chunks({{"IHDR", Ihdr(10, 10)}, {"IDAT", idat}}), false},
      {"data after IEND", Chunks({{"IHDR", Ihdr(10, 10)}, {"IEND", ""}}) + "x", false},
      {"a chunk length past the end", lying_length, false},
      {"not a PNG", "GIF89a...........................", false},
      {"bigger than taken",
       Chunks({{"IHDR", Ihdr(10, 10)}, {"IDAT", std::string(kMaxPngBytes, 'x')}, {"IEND", ""}}),
       false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckPngLayout(c.bytes, nullptr), c.ok) << c.what;
}

TEST(PngControlTest, ShowsTheLastGoodImageStretchedOverItself) {
  skinui::SkinTestWindow window(
      "<Window size=\"200,100\"><VerticalLayout><PngControl name=\"png\" width=\"120\" "
      "height=\"40\"/></VerticalLayout></Window>");
  PngControl* png = nullptr;
  window.factories["PngControl"] = [&] { return png = new PngControl; };
  window.Open(200, 100);
  ASSERT_NE(png, nullptr);
  EXPECT_STREQ(png->GetClass(), "PngControlUI");
  EXPECT_EQ(png->GetInterface("pngcontrol"), png);
  EXPECT_EQ(png->GetInterface("PngControl"), nullptr);  // the name is compared exactly
  EXPECT_EQ(png->GetInterface("Control"), png);

  window.GetPaintManager().Paint();
  auto images = [&] {
    int n = 0;
    for (const skinui::DrawOp& op : skinui::HeadlessWindowOf(window.GetHWND())->ops()) {
      if (op.kind == skinui::DrawOp::kImage) {
        EXPECT_EQ(op.rect, png->GetPos());
        ++n;
      }
    }
    return n;
  };
  EXPECT_EQ(images(), 0);  // nothing before an image
  ASSERT_TRUE(png->LoadPng(testgate::DrawCaptchaPng("AB23", 1)));
  const skinui::Image* first = png->image();
  window.GetPaintManager().Paint();
  EXPECT_EQ(images(), 1);
  EXPECT_FALSE(png->LoadPng("garbage"));
  EXPECT_EQ(png->image(), first);
  ASSERT_TRUE(png->LoadPng(testgate::DrawCaptchaPng("CD45", 2)));
  EXPECT_NE(png->image(), first);
  window.DestroyWindow();
}

}  // namespace
}  // namespace hall
