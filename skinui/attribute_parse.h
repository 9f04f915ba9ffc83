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
// The largest distance a skin may give (a position, size, padding or border), either sign. Layout
// adds such numbers up over a skin's controls; held to this, the sums stay far inside an int.
inline constexpr int kMaxSkinCoordinate = 32767;

// "l,t,r,b" (blanks allowed); missing numbers are 0, each held to +-kMaxSkinCoordinate.
RECT ParseRect(std::string_view text);
// "cx,cy", each held to +-kMaxSkinCoordinate.
SIZE ParseSize(std::string_view text);
// "true" / "1" (any case) -> true.
bool ParseBool(std::string_view text);
// A whole decimal number, `fallback` otherwise.
int ParseInt(std::string_view text, int fallback = 0);
// ParseInt for a distance: the number held to +-kMaxSkinCoordinate.
int ParseCoordinate(std::string_view text, int fallback = 0);

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
