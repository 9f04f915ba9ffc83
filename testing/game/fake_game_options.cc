#include "testing/game/fake_game_options.h"

#include <cstdlib>
#include <sstream>

#include "testing/game/launch_fields.h"

namespace fake_game {

namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t* out) {
  if (text.empty() || text.size() > 20)
    return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    uint64_t next = v * 10 + static_cast<uint64_t>(c - '0');
    if (next / 10 != v)
      return false;
    v = next;
  }
  if (v > max)
    return false;
  *out = v;
  return true;
}

bool ParseSigned64(const std::string& text, uint64_t* out) {
  if (!text.empty() && text[0] == '-') {
    uint64_t magnitude = 0;
    if (!ParseUnsigned(text.substr(1), 0x8000000000000000ull, &magnitude))
      return false;
    *out = 0 - magnitude;
    return true;
  }
  return ParseUnsigned(text, UINT64_MAX, out);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::string item;
  std::istringstream in(text);
  while (std::getline(in, item, sep))
    out.push_back(item);
  return out;
}

bool Fail(std::string* error, const char* why) {
  *error = why;
  return false;
}

}  // namespace

std::optional<Mode> ParseMode(const std::string& text) {
  if (text.empty() || text == "normal")
    return Mode::kNormal;
  if (text == "echo")
    return Mode::kEcho;
  if (text == "never-read")
    return Mode::kNeverRead;
  if (text == "die-holding-token")
    return Mode::kDieHoldingToken;
  if (text == "die-holding-mutex")
    return Mode::kDieHoldingMutex;
  if (text == "corrupt-blocks")
    return Mode::kCorruptBlocks;
  if (text == "corrupt-length")
    return Mode::kCorruptLength;
  return std::nullopt;
}

bool ParseSendList(const std::string& text, std::vector<qvc::GameFrame>* out) {
  out->clear();
  if (text.empty())
    return true;
  for (const std::string& item : Split(text, ',')) {
    if (item.empty())
      return false;
    std::vector<std::string> parts = Split(item, ':');
    if (item.back() == ':')
      parts.emplace_back();
    if (parts.size() == 3)
      parts.insert(parts.begin(), "0");
    if (parts.size() != 4)
      return false;
    uint64_t type, kind, subid;
    if (!ParseUnsigned(parts[0], UINT32_MAX, &type) || !ParseUnsigned(parts[1], 0xFFFF, &kind) ||
        !ParseUnsigned(parts[2], 0xFFFF, &subid)) {
      return false;
    }
    qvc::GameFrame f;
    f.type = static_cast<uint32_t>(type);
    f.kind = static_cast<uint16_t>(kind);
    f.subid = static_cast<uint16_t>(subid);
    const std::string& p = parts[3];
    if (!p.empty() && p[0] == '@') {
      uint64_t n;
      if (!ParseUnsigned(p.substr(1), 16u << 20, &n))
        return false;
      f.payload.resize(n);
      for (uint64_t i = 0; i < n; ++i)
        f.payload[i] = static_cast<char>((i * 13 + 5) & 0xFF);
    } else {
      if (p.size() % 2 != 0)
        return false;
      for (size_t i = 0; i < p.size(); i += 2) {
        int hi = HexDigit(p[i]), lo = HexDigit(p[i + 1]);
        if (hi < 0 || lo < 0)
          return false;
        f.payload.push_back(static_cast<char>(hi * 16 + lo));
      }
    }
    out->push_back(std::move(f));
  }
  return true;
}

bool ParseOptions(int argc, char** argv, const char* (*getenv)(const char*), Options* out,
                  std::string* error) {
  *out = Options();
  for (int i = 1; i < argc; ++i) {
    if (i > 1)
      out->params += ' ';
    out->params += argv[i];
  }
  const std::vector<LaunchField> fields = ParseLaunchFields(out->params);
  auto pid = FindLaunchField(fields, "process_id");
  auto plan = FindLaunchField(fields, "plan_id");
  uint64_t pid_value = 0;
  out->has_channel = pid && plan && ParseUnsigned(*pid, UINT32_MAX, &pid_value) &&
                     ParseSigned64(*plan, &out->plan_id);
  out->process_id = static_cast<uint32_t>(pid_value);

  auto env = [getenv](const char* name) {
    const char* v = getenv(name);
    return std::string(v == nullptr ? "" : v);
  };
  out->record_path = env(kEnvRecord);
  auto mode = ParseMode(env(kEnvMode));
  if (!mode) {
    *error = "unknown mode " + env(kEnvMode);
    return false;
  }
  out->mode = *mode;
  if (!ParseSendList(env(kEnvSend), &out->send)) {
    *error = "bad send list";
    return false;
  }
  uint64_t v;
  if (!env(kEnvExpect).empty()) {
    if (!ParseUnsigned(env(kEnvExpect), 1u << 20, &v))
      return Fail(error, "bad expect");
    out->expect = static_cast<uint32_t>(v);
  }
  if (!env(kEnvTimeout).empty()) {
    if (!ParseUnsigned(env(kEnvTimeout), 600000, &v))
      return Fail(error, "bad timeout");
    out->timeout_ms = static_cast<uint32_t>(v);
    out->timeout_set = true;
  }
  out->send_after = env(kEnvSendAfter) == "1";
  out->window = env(kEnvWindow) == "1";
  out->screenshot_path = env(kEnvScreenshot);
  if (!env(kEnvExit).empty())
    out->exit_code = std::atoi(env(kEnvExit).c_str());
  return true;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace fake_game
