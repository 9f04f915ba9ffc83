// Text controls. CLabelUI draws its text with a font of the window's font table, a colour, a
// padding and an alignment; with "showhtml" the text's markup tags ("{b}", "{c #ff0000}" ...) are
// not drawn. CProgressUI is a label with a bar filled to value / (max - min).
#pragma once

#include "skinui/control.h"

namespace skinui {

class CLabelUI : public CControlUI {
 public:
  CLabelUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  void SetFont(int index);
  int GetFont() const { return font_; }
  void SetTextColor(DWORD argb);
  DWORD GetTextColor() const { return text_colour_; }
  void SetDisabledTextColor(DWORD argb) { disabled_text_colour_ = argb; }
  DWORD GetDisabledTextColor() const { return disabled_text_colour_; }
  void SetTextPadding(const RECT& padding);
  const RECT& GetTextPadding() const { return text_padding_; }
  void SetTextStyle(UINT style);
  UINT GetTextStyle() const { return text_style_; }
  void SetShowHtml(bool show = true);
  bool IsShowHtml() const { return show_html_; }
  // The box the text is drawn in: the control less its text padding.
  RECT GetTextRect() const;
  // The text as drawn (markup removed with "showhtml").
  std::string GetDrawnText() const;

  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintText(RenderTarget& hdc) override;
  // The colour the text is drawn in now.
  virtual DWORD CurrentTextColor() const;

  int font_ = -1;
  DWORD text_colour_ = 0xFF000000;
  DWORD disabled_text_colour_ = 0xFFA7A6AA;
  RECT text_padding_;
  UINT text_style_ = DT_VCENTER | DT_SINGLELINE;
  bool show_html_ = false;
};

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  int GetMinValue() const { return min_value_; }
  int GetMaxValue() const { return max_value_; }
  int GetValue() const { return value_; }
  void SetMinValue(int v);
  void SetMaxValue(int v);
  // Kept within min..max.
  void SetValue(int v);
  // The filled part of the control.
  RECT GetFillRect() const;

  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintStatusImage(RenderTarget& hdc) override;

  int min_value_ = 0;
  int max_value_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  DWORD fore_colour_ = 0xFF3C9BE6;
  std::string fore_image_;
};

}  // namespace skinui
