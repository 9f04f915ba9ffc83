// What the fake game client is asked to do: read from its launch parameters and environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gateclient/ipc/ipc_frames.h"

namespace fake_game {

// Environment variables the fake game reads.
inline constexpr const char kEnvRecord[] = "TARVIX_FAKE_GAME_RECORD";  // file of what happened
inline constexpr const char kEnvMode[] = "TARVIX_FAKE_GAME_MODE";
inline constexpr const char kEnvSend[] = "TARVIX_FAKE_GAME_SEND";
inline constexpr const char kEnvExpect[] = "TARVIX_FAKE_GAME_EXPECT";         // frames to receive
inline constexpr const char kEnvSendAfter[] = "TARVIX_FAKE_GAME_SEND_AFTER";  // "1": after them
inline constexpr const char kEnvTimeout[] = "TARVIX_FAKE_GAME_TIMEOUT_MS";
inline constexpr const char kEnvExit[] = "TARVIX_FAKE_GAME_EXIT";
// "1": open a window that shows the launch fields and the hall's messages; the game then runs
// until the window is closed (or the hall has gone, or TARVIX_FAKE_GAME_TIMEOUT_MS when set).
inline constexpr const char kEnvWindow[] = "TARVIX_FAKE_GAME_WINDOW";
// With the window: a PNG of it written each time it shows a new message.
inline constexpr const char kEnvScreenshot[] = "TARVIX_FAKE_GAME_SCREENSHOT";

// Exit code when the channel cannot be opened or the launch parameters lack its numbers.
inline constexpr int kExitNoChannel = 90;

enum class Mode {
  kNormal,
  kEcho,             // answers every received frame with its kind, subid and body
  kNeverRead,        // sends, then never reads until the time-out
  kDieHoldingToken,  // takes the writer token of the hall's queue and dies
  kDieHoldingMutex,  // takes the mutex of the hall's queue and dies
  kCorruptBlocks,    // queues a message whose chain cannot be followed
  kCorruptLength,    // queues a message whose block claims more bytes than a block has
};

struct Options {
  std::string params;  // the launch parameters as one text
  uint32_t process_id = 0;
  uint64_t plan_id = 0;
  bool has_channel = false;
  std::string record_path;
  Mode mode = Mode::kNormal;
  std::vector<qvc::GameFrame> send;
  uint32_t expect = 0;
  bool send_after = false;
  uint32_t timeout_ms = 5000;
  bool timeout_set = false;  // TARVIX_FAKE_GAME_TIMEOUT_MS was given
  int exit_code = 0;
  bool window = false;
  std::string screenshot_path;
};

std::optional<Mode> ParseMode(const std::string& text);

// Frames to send: items separated by ',', each "kind:subid:payload" or "type:kind:subid:payload"
// where payload is hex digits, or '@' and a byte count (a pattern of that many bytes).
bool ParseSendList(const std::string& text, std::vector<qvc::GameFrame>* out);

// The launch parameters ("process_id:%d|...|plan_id:%lld|...") and the environment.
// `getenv` is the environment lookup (null when unset).
bool ParseOptions(int argc, char** argv, const char* (*getenv)(const char*), Options* out,
                  std::string* error);

std::string Hex(std::string_view bytes);

}  // namespace fake_game
