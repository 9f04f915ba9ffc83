// Parsing of skin attribute values. Skins arrive through the self-update, so every parser accepts
// malformed text without reading past it and falls back to a stated default.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace skinui {

// "#AARRGGBB", "#RRGGBB", "0xAARRGGBB" or decimal; six digits give an opaque colour. `fallback`
// when the text is none of these.
DWORD ParseColour(std::string_view text, DWORD fallback = 0);
// "l,t,r,b" (blanks allowed); missing numbers are 0.
RECT ParseRect(std::string_view text);
// "cx,cy".
SIZE ParseSize(std::string_view text);
// "true" / "1" (any case) -> true.
bool ParseBool(std::string_view text);
// A whole decimal number, `fallback` otherwise.
int ParseInt(std::string_view text, int fallback = 0);

// An image attribute: either a bare file name or "file='x.png' source='l,t,r,b' dest='l,t,r,b'".
struct ImageSpec {
  std::string file;
  bool has_source = false;
  RECT source;
  bool has_dest = false;
  RECT dest;
};
ImageSpec ParseImageSpec(std::string_view text);

}  // namespace skinui
