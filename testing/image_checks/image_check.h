// The properties the image fuzz target checks on any bytes, and the replay of its kept inputs in
// the ordinary build. Skin images arrive with updates and the register dialog's captcha from the
// gate, so the bytes handed to the decoders may be anything.
#pragma once

#include <string>
#include <string_view>

namespace image_check {

// Decodes `bytes` with the SDL backend (offscreen driver, brought up once for the process) as the
// hall does, and has the register dialog's captcha control load them over an image it already
// shows. Then:
// - the backend gives nothing, or an image of 1 to kMaxImageSide pixels a side whose size is the
//   one the PNG or BMP header declares; nothing past kMaxImageBytes, the same bytes padded past it
//   included;
// - the captcha control takes the bytes exactly when they have a whole PNG's layout, within its
//   own side cap, and the backend decodes them, and then shows an image of the header's size;
//   a refusal keeps the image shown before;
// - no decoder reads or writes outside its buffers (the sanitizers of the build stop on it).
// A PNG is checked as given and, when any chunk's CRC is wrong, again with every CRC made right,
// so that changed chunks reach the decoder's handling of their contents.
// Returns "" when that holds, else what broke.
std::string CheckImage(std::string_view bytes);

}  // namespace image_check
