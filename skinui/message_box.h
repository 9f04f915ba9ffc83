// Message boxes of the windows (OK; Yes / No; information, warning, error and question icons),
// behind a provider that tests replace with a script. The default provider shows a small modal
// skin window of its own.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace skinui {

class MessageBoxProvider {
 public:
  virtual ~MessageBoxProvider() = default;
  // Shows the box modally; returns IDOK, IDCANCEL, IDYES or IDNO.
  virtual int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
};

// Replaces the provider (null restores the default). Window thread only.
void SetMessageBoxProvider(MessageBoxProvider* provider);

// The hall's MessageBoxA / MessageBoxW: text and caption in UTF-8.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// For tests: records each box and answers from a script; with the script used up a Yes / No box
// answers IDNO and any other IDOK.
class ScriptedMessageBoxes : public MessageBoxProvider {
 public:
  struct Shown {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
  };
  void AnswerNext(int result) { answers_.push_back(result); }
  int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
  const std::vector<Shown>& shown() const { return shown_; }

 private:
  std::deque<int> answers_;
  std::vector<Shown> shown_;
};

// The skin text of the default box (exposed for its test).
std::string MessageBoxSkin(const std::string& text, const std::string& caption, UINT type);

}  // namespace skinui
