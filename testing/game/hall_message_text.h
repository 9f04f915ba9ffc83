// What a person reads about one frame the hall sent to the game: the frame's kind and subid, the
// command a gate transfer carries, and the main fields of the commands a game meets first (the
// login reply, the match detail, the start of the match, a sign-up reply, a prize).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fake_game {

struct HallMessageText {
  bool decoded = false;  // the bytes held a whole frame header
  uint32_t type = 0;     // frame type (0 message, 1 connection state)
  uint16_t kind = 0;     // frame kind and subid
  uint16_t subid = 0;
  bool carries = false;  // a transfer whose command could be read
  uint32_t inner_kind = 0;
  uint32_t inner_subid = 0;
  std::string text;  // one line, UTF-8
};

// Texts taken from a message (a nickname, a prize text) are cut to this many characters.
inline constexpr size_t kMaxQuotedCharacters = 32;

HallMessageText DescribeHallFrame(std::string_view frame);

}  // namespace fake_game
