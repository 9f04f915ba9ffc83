// The demo game's window: what the hall started the game for (the fields of its launch string)
// and every message the hall has sent since, newest last, so a person sees the hand-over from the
// hall to the game. Closing it, with its button or through the window manager, ends the game's
// message loop.
//
// Threads: the window lives on the thread that created it. Other threads hand it texts through
// its inbox, which keeps them under a lock and posts the window a message without a pointer, so a
// text the window never took (it closed first) goes with the inbox.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "skinui/window_impl_base.h"
#include "testing/game/launch_fields.h"

namespace fake_game {

// Tells the window that its inbox holds texts.
inline constexpr UINT kGameInboxMessage = WM_USER + 201;

// Rows kept in the message list; older ones are dropped as new ones arrive.
inline constexpr size_t kMaxShownLines = 200;
// A field value is shown with at most this many characters.
inline constexpr size_t kMaxFieldCharacters = 80;

// Texts for the window from any thread.
class GameInbox {
 public:
  struct Entry {
    bool status = false;  // the status line rather than a message row
    std::string text;
  };
  // Both false once the window is gone (the text is kept but never shown).
  bool AddLine(std::string text) { return Push({false, std::move(text)}); }
  bool SetStatus(std::string text) { return Push({true, std::move(text)}); }
  // Window thread.
  std::vector<Entry> Take();
  void Attach(HWND window) { window_.store(window); }

 private:
  bool Push(Entry entry);

  std::atomic<HWND> window_{nullptr};
  std::mutex mutex_;
  std::vector<Entry> entries_;  // guarded by mutex_
};

class GameWindow : public skinui::WindowImplBase {
 public:
  explicit GameWindow(std::vector<LaunchField> fields);

  // Where other threads leave texts for the window.
  std::shared_ptr<GameInbox> inbox() const { return inbox_; }

  // The window's title: the game's name and the plan it was started for.
  std::string Title() const;
  // Creates the window centred on the screen and shows it. False when it cannot be made.
  bool Open();

  // Closes the window `ms` after now (the game's given life).
  void CloseAfter(uint32_t ms);

  // Called on the window thread after a message row has been added, with its text.
  std::function<void(const std::string&)> on_shown;

  // Window thread only.
  void AddLine(const std::string& text);
  void SetStatus(const std::string& text);
  // The lines shown, oldest first.
  std::vector<std::string> ShownLines() const;

  // The skin, built from the fields (exposed for its test).
  static std::string Skin(const std::vector<LaunchField>& fields);

  const char* GetWindowClassName() const override { return "FakeGameWindow"; }
  skinui::CDuiString GetSkinFile() override { return skin_; }
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

 protected:
  // Ends the loop the window runs in: the game ends with its window.
  void OnFinalMessage(HWND hwnd) override;

 private:
  std::vector<LaunchField> fields_;
  std::string skin_;
  std::shared_ptr<GameInbox> inbox_ = std::make_shared<GameInbox>();
  size_t received_ = 0;
};

}  // namespace fake_game
