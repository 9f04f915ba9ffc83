// Text input. CEditUI is one line with a caret and a selection: typed characters go in at the
// caret, replacing the selection (up to its maximum number of characters); Left / Right / Home /
// End move the caret, with Shift they extend the selection, Ctrl+A selects everything; Backspace
// and Delete remove the selection or the character before / after the caret; a click places the
// caret and a drag (or Shift+click) selects. A text longer than the box scrolls so the caret
// stays in view. A password edit draws one '*' per character. CRichEditUI holds several lines
// with word wrap; the hall uses it read-only for its information text, so with "readonly" it
// takes no typing at all (and draws no caret).
//
// Ctrl+C copies the selection to the system clipboard, Ctrl+X cuts it, Ctrl+V puts the
// clipboard's text in its place: the characters the edit takes, as many as fit, and in a
// one-line edit only the clipboard's first line. A password edit gives nothing to the clipboard.
// Text an input method commits goes in whole as one insertion (cut only at the limit); the text
// being composed is shown at the caret, underlined, without being part of the edit's text until
// it is committed.
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
  bool DragsWindow() const override { return false; }

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

  // The clipboard operations of Ctrl+C, Ctrl+X and Ctrl+V. False when nothing changed hands
  // (no selection, a password edit, a read-only edit for Cut and Paste, an empty clipboard).
  bool Copy();
  bool Cut();
  bool Paste();
  // Puts `utf8` in place of the selection as if typed in one go: characters the edit does not
  // take are left out, and what passes the maximum is cut. False when nothing went in.
  bool InsertText(const std::string& utf8);
  // The input method's text being composed (empty when none), for tests and the paint.
  const std::string& GetComposition() const { return composition_; }

  void DoEvent(TEventUI& event) override;
  void SetAttribute(const char* name, const char* value) override;

 protected:
  void PaintText(RenderTarget& hdc) override;
  void PaintBorder(RenderTarget& hdc) override;
  // Whether a typed character is taken (`multiline` editors take line breaks too).
  virtual bool TakesCharacter(char32_t c) const;
  // Whether the caret and selection are drawn (one line only).
  virtual bool DrawsCaret() const;

  // One line takes only the first line of a pasted text; several lines keep its line breaks.
  virtual bool IsMultiLine() const { return false; }

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
  // Where the drawn text starts, scrolling it so that the caret (at `caret` of `display`) is
  // inside `box`.
  int TextOrigin(const std::string& display, size_t caret, const RECT& box);
  // The byte offset nearest to x (window coordinates).
  size_t OffsetAtX(int x);

  // The text as drawn with the composition in place of the selection: byte offsets into it of
  // the caret, the selection and the composition.
  struct Shown {
    std::string text;
    size_t caret = 0;
    size_t selection_low = 0, selection_high = 0;
    size_t composition_begin = 0, composition_end = 0;
  };
  Shown MakeShown() const;
  bool InsertCharacters(std::u32string_view typed);
  void TellInputMethod(const RECT& caret);

  std::string composition_;
  int composition_cursor_ = 0;  // in characters
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
  // Enter starts a new line, unless the text is read-only.
  bool TakesReturn() const override { return !read_only_ && IsEnabled(); }
  void DoEvent(TEventUI& event) override;

 protected:
  bool TakesCharacter(char32_t c) const override;
  bool IsMultiLine() const override { return true; }
};

}  // namespace skinui
