#include "brimsett/switch_checks.h"

#include <array>
#include <vector>

#include "brimsett/applier_options.h"
#include "games/hall/text/printable.h"
#include "platform/command_line.h"

namespace brimsett {
namespace {

using hall::Printable;

// One argument written so that the C runtime's rules read it back: bare when it holds no blank,
// tab or quote (and is not empty), otherwise in quotes with every quote escaped and the
// backslashes before an escaped or closing quote doubled.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
    return arg;
  std::string out = "\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, '\\');
      break;
    }
    if (arg[i] == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    out.push_back(arg[i]);
  }
  return out + "\"";
}

std::string ShowArgs(const std::vector<std::string>& args) {
  std::string out = "[";
  for (const std::string& arg : args)
    out += " \"" + Printable(arg) + "\"";
  return out + " ]";
}

// The value the last argument giving `name` ("d:" ...) leaves, or "" when none gives it.
std::string LastValue(const std::vector<std::string>& args, std::string_view name) {
  std::string value;
  for (const std::string& arg : args) {
    if (arg.size() > name.size() && (arg[0] == '-' || arg[0] == '/') &&
        std::string_view(arg).substr(1, name.size()) == name) {
      value = CleanSwitchValue(std::string_view(arg).substr(1 + name.size()));
    }
  }
  return value;
}

std::string CheckParameterText(std::string_view text) {
  const std::vector<std::string> args = platform::SplitCommandLine(text);
  std::string again;
  for (const std::string& arg : args)
    again += (again.empty() ? "" : " ") + Quote(arg);
  const std::vector<std::string> back = platform::SplitCommandLine(again);
  if (back != args) {
    return "split " + ShowArgs(args) + ", quoted as \"" + Printable(again) + "\", splits as " +
           ShowArgs(back);
  }
  const ApplierOptions options = ReadSwitches(args);
  const struct {
    std::string_view name;
    const std::string& value;
  } switches[] = {{"d:", options.destination},
                  {"s:", options.source},
                  {"n:", options.name},
                  {"l:", options.launch}};
  for (const auto& sw : switches) {
    if (sw.value != LastValue(args, sw.name))
      return "switch " + std::string(sw.name) + " read as \"" + Printable(sw.value) + "\"";
  }
  return "";
}

constexpr std::string_view kTripleQuote = "\"\"\"";

std::string CheckHallValues(std::string_view input) {
  std::array<std::string, 4> values;
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t zero = input.find('\0');
    values[i] = std::string(input.substr(0, zero));
    input = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
  }
  static constexpr const char* kSwitches[] = {"/d:", "/s:", "/n:", "/l:"};
  std::string text;
  std::vector<std::string> sent;
  bool can_travel = true;
  for (size_t i = 0; i < values.size(); ++i) {
    text += std::string(kSwitches[i]) + std::string(kTripleQuote) + values[i] +
            std::string(kTripleQuote) + " ";
    sent.push_back(std::string(kSwitches[i]) + "\"" + values[i] + "\"");
    if (values[i].find('"') != std::string::npos ||
        (!values[i].empty() && values[i].back() == '\\')) {
      can_travel = false;
    }
  }
  text += "/waitparentexit";
  sent.push_back("/waitparentexit");
  const std::vector<std::string> args = platform::SplitCommandLine(text);
  if (args != sent) {
    if (can_travel)
      return "\"" + Printable(text) + "\" splits as " + ShowArgs(args);
    return "";  // the hall's check sees the difference and does not start the applier
  }
  const ApplierOptions options = ReadSwitches(args);
  const std::string* read[] = {&options.destination, &options.source, &options.name,
                               &options.launch};
  for (size_t i = 0; i < values.size(); ++i) {
    std::string want = values[i];
    if (!want.empty() && (want.back() == '/' || want.back() == '\\'))
      want.pop_back();
    if (*read[i] != want) {
      return std::string(kSwitches[i]) + " \"" + Printable(values[i]) + "\" arrives as \"" +
             Printable(*read[i]) + "\"";
    }
  }
  if (!options.wait_parent || options.quiet)
    return "the flags arrive changed";
  return "";
}

}  // namespace

std::string CheckCommandLine(std::string_view input) {
  if (input.empty())
    return "";
  const bool hall_values = (static_cast<unsigned char>(input[0]) & 1) != 0;
  input.remove_prefix(1);
  return hall_values ? CheckHallValues(input) : CheckParameterText(input);
}

}  // namespace brimsett
