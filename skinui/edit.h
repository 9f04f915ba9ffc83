// Text input. CEditUI is one line: typed characters are appended (up to its maximum number of
// characters), Backspace removes the last character; a password edit draws one '*' per
// character. CRichEditUI holds several lines with word wrap; the hall uses it read-only for its
// information text, so with "readonly" it takes no typing at all.
#pragma once

#include "skinui/label.h"

namespace skinui {

// Characters an edit takes unless the skin sets "maxchar".
inline constexpr int kDefaultEditMaxChars = 255;

class CEditUI : public CLabelUI {
 public:
  CEditUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;
  bool WantsFocus() const override { return IsEnabled(); }

  bool IsPasswordMode() const { return password_; }
  void SetPasswordMode(bool password) {
    password_ = password;
    Invalidate();
  }
  bool IsReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  int GetMaxChar() const { return max_chars_; }
  void SetMaxChar(int max_chars) { max_chars_ = max_chars; }
  // Cuts a longer text to the maximum number of characters.
  void SetText(const char* text) override;

  void DoEvent(TEventUI& event) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintText(RenderTarget& hdc) override;
  void PaintBorder(RenderTarget& hdc) override;
  // Whether a typed character is taken (`multiline` editors take line breaks too).
  virtual bool TakesCharacter(char32_t c) const;

  bool password_ = false;
  bool read_only_ = false;
  int max_chars_ = kDefaultEditMaxChars;
  DWORD focus_border_colour_ = 0xFF3C9BE6;
};

class CRichEditUI : public CEditUI {
 public:
  CRichEditUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  bool TakesCharacter(char32_t c) const override;
};

}  // namespace skinui
