// Buttons and options. A button is hot while the mouse is over it and pushed while the left button
// is held on it; releasing over it is a click ("click" notification). An option is a button with
// a selected state; options sharing a group name exclude each other within their window, and a
// change of the selection sends "selectchanged" (wParam 1 when selected) from the option selected,
// or, outside a group, from the option that changed.
#pragma once

#include <string>

#include "skinui/label.h"

namespace skinui {

inline constexpr UINT UISTATE_HOT = 0x01;
inline constexpr UINT UISTATE_PUSHED = 0x02;
inline constexpr UINT UISTATE_CAPTURED = 0x04;
inline constexpr UINT UISTATE_FOCUSED = 0x08;
inline constexpr UINT UISTATE_SELECTED = 0x10;

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;
  bool WantsFocus() const override { return true; }
  bool DragsWindow() const override { return false; }
  bool TakesReturn() const override { return true; }

  UINT GetButtonState() const { return state_; }
  const std::string& GetNormalImage() const { return normal_image_; }
  void SetNormalImage(const char* image);
  const std::string& GetHotImage() const { return hot_image_; }
  void SetHotImage(const char* image);
  const std::string& GetPushedImage() const { return pushed_image_; }
  void SetPushedImage(const char* image);
  void SetDisabledImage(const char* image);
  const std::string& GetForeImage() const { return fore_image_; }
  void SetForeImage(const char* image);
  const std::string& GetHotForeImage() const { return hot_fore_image_; }
  void SetHotForeImage(const char* image);
  DWORD GetHotTextColor() const { return hot_text_colour_; }
  void SetHotTextColor(DWORD argb) { hot_text_colour_ = argb; }

  // Takes the normal, hot, pushed and disabled looks from one image holding `count` equal cells
  // side by side (`horizontal`) or stacked, in that order; with fewer cells the last one repeats.
  void SetButtonImage(const char* image, int count, bool horizontal);
  // The image given to SetButtonImage (empty without one).
  const std::string& GetButtonImage() const { return strip_image_; }

  bool Activate() override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintStatusImage(RenderTarget& hdc) override;
  DWORD CurrentTextColor() const override;
  // Draws cell `cell` of the button-image strip; false without a strip.
  bool PaintStripCell(RenderTarget& hdc, int cell);

  UINT state_ = 0;
  std::string normal_image_;
  std::string hot_image_;
  std::string pushed_image_;
  std::string disabled_image_;
  std::string fore_image_;
  std::string hot_fore_image_;
  DWORD hot_text_colour_ = 0;
  DWORD pushed_text_colour_ = 0;
  std::string strip_image_;
  int strip_count_ = 0;
  bool strip_horizontal_ = true;
};

class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  const std::string& GetGroup() const { return group_; }
  void SetGroup(const char* group);
  bool IsSelected() const { return selected_; }
  // Changes the selection; `trigger_event` sends "selectchanged" when it changed.
  void Selected(bool selected, bool trigger_event = true);

  const std::string& GetSelectedImage() const { return selected_image_; }
  void SetSelectedImage(const char* image) { selected_image_ = image; }
  const std::string& GetSelectedHotImage() const { return selected_hot_image_; }
  void SetSelectedHotImage(const char* image) { selected_hot_image_ = image; }
  DWORD GetSelectedTextColor() const { return selected_text_colour_; }
  void SetSelectedTextColor(DWORD argb) { selected_text_colour_ = argb; }

  // A click selects an option of a group and toggles one without, then sends "click".
  bool Activate() override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintStatusImage(RenderTarget& hdc) override;
  DWORD CurrentTextColor() const override;

  std::string group_;
  bool selected_ = false;
  std::string selected_image_;
  std::string selected_hot_image_;
  DWORD selected_text_colour_ = 0;
};

}  // namespace skinui
