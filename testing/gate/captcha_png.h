// Captcha images for the local gate: a few characters drawn on noise, encoded as PNG by this file
// (stored deflate blocks, so no compression library is needed). A test peer, not an image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testgate {

// Characters a captcha is made of (no I, O, 0 or 1, which read alike).
inline constexpr char kCaptchaAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
inline constexpr int kCaptchaWidth = 120;
inline constexpr int kCaptchaHeight = 40;

// A PNG of `width` x `height` 8-bit RGB pixels, rows top to bottom (3 bytes a pixel).
// REQUIRES: rgb.size() == width * height * 3.
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

// `text` (up to four characters of kCaptchaAlphabet; others are left blank) drawn with jitter in
// dark colours over light noise and a few lines, as a kCaptchaWidth x kCaptchaHeight PNG. The same
// `seed` draws the same picture.
std::string DrawCaptchaPng(const std::string& text, uint32_t seed);

// Four characters of kCaptchaAlphabet chosen by `seed`.
std::string CaptchaText(uint32_t seed);

}  // namespace testgate
