#include "platform/message_box.h"

#include <algorithm>
#include <cctype>

namespace platform {

void ConsoleMessageBoxes::ShowError(const std::string& caption, const std::string& text) {
  std::fprintf(out_, "[%s] %s\n", caption.c_str(), text.c_str());
  std::fflush(out_);
}

bool ConsoleMessageBoxes::AskYesNo(const std::string& caption, const std::string& text) {
  std::fprintf(out_, "[%s] %s [y/n] ", caption.c_str(), text.c_str());
  std::fflush(out_);
  std::string line;
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  std::transform(line.begin(), line.end(), line.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  bool yes = line == "y" || line == "yes" || line == "是";
  std::fprintf(out_, "%s\n", yes ? "yes" : "no");
  std::fflush(out_);
  return yes;
}

void ScriptedMessageBoxes::AnswerNext(bool yes) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(yes);
}

void ScriptedMessageBoxes::ShowError(const std::string& caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back({caption, text, false});
}

bool ScriptedMessageBoxes::AskYesNo(const std::string& caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back({caption, text, true});
  if (answers_.empty()) return false;
  bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

std::vector<ScriptedMessageBoxes::Shown> ScriptedMessageBoxes::shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

}  // namespace platform
