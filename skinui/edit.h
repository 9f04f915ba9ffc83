// Text input. CEditUI is one line with a caret and a selection: typed characters go in at the
// caret, replacing the selection (up to its maximum number of characters); Left / Right / Home /
// End move the caret, with Shift they extend the selection, Ctrl+A selects everything; Backspace
// and Delete remove the selection or the character before / after the caret; a click places the
// caret and a drag (or Shift+click) selects. A text longer than the box scrolls so the caret
// stays in view. A password edit draws one '*' per character. CRichEditUI holds several lines
// with word wrap; the hall uses it read-only for its information text, so with "readonly" it
// takes no typing at all (and draws no caret).
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
  // Cuts a longer text to the maximum number of characters; the caret goes to the end.
  void SetText(const char* text) override;

  // The selection in characters: from `start` to the caret at `end` (equal: just a caret). -1 or
  // a number past the end stands for the end.
  void SetSel(int start, int end);
  void SetSelAll() { SetSel(0, -1); }
  // The selection's ends in characters, the lower first; both the caret's place without one.
  void GetSel(int* start, int* end) const;

  void DoEvent(TEventUI& event) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintText(RenderTarget& hdc) override;
  void PaintBorder(RenderTarget& hdc) override;
  // Whether a typed character is taken (`multiline` editors take line breaks too).
  virtual bool TakesCharacter(char32_t c) const;
  // Whether the caret and selection are drawn (one line only).
  virtual bool DrawsCaret() const;

  bool password_ = false;
  bool read_only_ = false;
  int max_chars_ = kDefaultEditMaxChars;
  DWORD focus_border_colour_ = 0xFF3C9BE6;
  DWORD selection_colour_ = 0xFFB5D5FF;

 private:
  bool OnKey(char32_t key, WORD state);
  void OnCharacter(char32_t c);
  // Moves the caret to byte offset `to`; the selection's other end stays only with `extend`.
  void MoveCaret(size_t to, bool extend);
  // Removes the selection; false when there was none.
  bool DeleteSelection();
  void ReplaceText(size_t from, size_t to, const std::string& with);
  // The text as drawn and the drawn offset of byte offset `at` of the text.
  std::string DisplayText() const;
  size_t DisplayOffset(size_t at) const;
  int TextWidth(const std::string& display, size_t display_end) const;
  // Where the drawn text starts, scrolling it so that the caret is inside `box`.
  int TextOrigin(const std::string& display, const RECT& box);
  // The byte offset nearest to x (window coordinates).
  size_t OffsetAtX(int x);

  // Byte offsets into the text, always on character boundaries.
  size_t caret_ = 0;
  size_t anchor_ = 0;       // the selection's other end
  int scroll_ = 0;          // pixels of the text scrolled out at the left
  bool selecting_ = false;  // a drag began in the control
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
