// The hall's own modal question box: a title, a text and one or two buttons, drawn from the skin
// "MessageDialog.xml". Its buttons "button_1" .. "button_3" carry the tags 1 .. 3 and a click on
// one closes the dialog with that tag as the result: one button shows as button 2 (result 2), two
// show as buttons 1 and 3 (results 1 and 3).
#pragma once

#include <cstdint>
#include <string>

#include "skinui/window_impl_base.h"

namespace hall {

// The window that owns the hall's dialogs (the main window once it exists); null before.
void SetDialogOwnerWindow(HWND owner);
HWND DialogOwnerWindow();

class MessageDialog : public skinui::WindowImplBase {
 public:
  MessageDialog(int button_count, std::string title, std::string content, std::string first,
                std::string second);

  const char* GetWindowClassName() const override { return "MessageDialog"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "MessageDialog.xml"; }
  void InitWindow() override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  const skinui::NotifyMapEntry* GetMessageMap() const override;

 protected:
  // The dialog lives on the heap and ends with its window.
  void OnFinalMessage(HWND hwnd) override;
  // Closing through the window manager answers like the last button shown (the one that does
  // not go ahead: "取消" of two, the only one of one), never with a result no button has.
  UINT GetDismissResult() const override;

 private:
  bool OnButtonNotify(void* param);

  int32_t button_count_;
  std::string title_;
  std::string content_;
  std::string first_button_;
  std::string second_button_;
  UINT dismiss_result_ = IDCANCEL;
};

// Shows a new MessageDialog modally (owned by DialogOwnerWindow) and returns the tag of the button
// pressed.
int ShowMessageDialog(int button_count, const std::string& content, const std::string& title,
                      const std::string& first_button, const std::string& second_button);

}  // namespace hall
