// Message boxes for programs without a window of their own (the update applier): a message with
// an OK button and a Yes / No question, behind an interface that tests script.
#pragma once

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows `text` under `caption` with an OK button (error icon) and returns when it is closed.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
  // Asks `text` under `caption`; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
};

// The console form: messages go to `out`; a question reads one line from `in` and takes "y",
// "yes" or "是" (any case) as Yes, anything else, and the end of input, as No. The applier is
// started without a terminal of its own, so with nobody to answer a question the safe answer is
// the one that changes nothing more.
class ConsoleMessageBoxes : public MessageBoxes {
 public:
  ConsoleMessageBoxes(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}
  void ShowError(const std::string& caption, const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;

 private:
  std::FILE* in_;
  std::FILE* out_;
};

// For tests: records every box and answers questions from a script (No once it runs out).
class ScriptedMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string caption;
    std::string text;
    bool question = false;
  };

  void AnswerNext(bool yes);
  void ShowError(const std::string& caption, const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  std::vector<Shown> shown() const;

 private:
  mutable std::mutex mutex_;
  std::deque<bool> answers_;
  std::vector<Shown> shown_;
};

}  // namespace platform
