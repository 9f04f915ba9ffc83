#include "skinui/edit.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"
#include "skinui/utf8.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

std::string CutToCharacters(const std::string& text, int max_chars) {
  if (max_chars <= 0)
    return text;
  size_t i = 0;
  int n = 0;
  while (i < text.size()) {
    if (n == max_chars)
      return text.substr(0, i);
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
      ++i;
    ++n;
  }
  return text;
}

}  // namespace

CEditUI::CEditUI() {
  text_style_ = DT_SINGLELINE | DT_VCENTER;
  text_padding_ = RECT{4, 0, 4, 0};
}

const char* CEditUI::GetClass() const {
  return "EditUI";
}

void* CEditUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Edit") == 0)
    return this;
  return CLabelUI::GetInterface(name);
}

void CEditUI::SetText(const char* text) {
  const std::string t = CutToCharacters(text != nullptr ? text : "", max_chars_);
  CLabelUI::SetText(t.c_str());
  caret_ = anchor_ = text_.size();
  scroll_ = 0;
  composition_.clear();
}

namespace {

// Byte offset of the character numbered `chars` (-1 or past the end: the end).
size_t OffsetOfCharacter(std::string_view text, int chars) {
  if (chars < 0)
    return text.size();
  size_t at = 0;
  for (int i = 0; i < chars && at < text.size(); ++i)
    at = NextCharacter(text, at);
  return at;
}

int CharactersBefore(std::string_view text, size_t at) {
  int n = 0;
  for (size_t i = 0; i < at && i < text.size(); i = NextCharacter(text, i))
    ++n;
  return n;
}

}  // namespace

void CEditUI::SetSel(int start, int end) {
  anchor_ = OffsetOfCharacter(text_, start);
  caret_ = OffsetOfCharacter(text_, end);
  Invalidate();
}

void CEditUI::GetSel(int* start, int* end) const {
  const size_t caret = std::min(caret_, text_.size());
  const size_t anchor = std::min(anchor_, text_.size());
  *start = CharactersBefore(text_, std::min(caret, anchor));
  *end = CharactersBefore(text_, std::max(caret, anchor));
}

bool CEditUI::TakesCharacter(char32_t c) const {
  return c >= 0x20 && c != 0x7F;
}

bool CEditUI::DrawsCaret() const {
  return (text_style_ & DT_SINGLELINE) != 0;
}

void CEditUI::MoveCaret(size_t to, bool extend) {
  caret_ = std::min(to, text_.size());
  if (!extend)
    anchor_ = caret_;
  Invalidate();
}

void CEditUI::ReplaceText(size_t from, size_t to, const std::string& with) {
  std::string t = text_;
  t.replace(from, to - from, with);
  CLabelUI::SetText(t.c_str());
  caret_ = anchor_ = from + with.size();
}

bool CEditUI::DeleteSelection() {
  const size_t caret = std::min(caret_, text_.size());
  const size_t anchor = std::min(anchor_, text_.size());
  if (caret == anchor)
    return false;
  ReplaceText(std::min(caret, anchor), std::max(caret, anchor), "");
  return true;
}

bool CEditUI::OnKey(char32_t key, WORD state) {
  const bool shift = (state & MK_SHIFT) != 0;
  const bool editable = !read_only_ && IsEnabled();
  caret_ = std::min(caret_, text_.size());
  anchor_ = std::min(anchor_, text_.size());
  const size_t low = std::min(caret_, anchor_);
  const size_t high = std::max(caret_, anchor_);
  switch (key) {
    case VK_LEFT:
      // Without Shift a selection collapses to its near end rather than moving past it.
      MoveCaret(low != high && !shift ? low : PreviousCharacter(text_, caret_), shift);
      return true;
    case VK_RIGHT:
      MoveCaret(low != high && !shift ? high : NextCharacter(text_, caret_), shift);
      return true;
    case VK_HOME:
      MoveCaret(0, shift);
      return true;
    case VK_END:
      MoveCaret(text_.size(), shift);
      return true;
    case 'A':
      if ((state & MK_CONTROL) == 0)
        return false;
      SetSelAll();
      return true;
    case 'C':
      if ((state & MK_CONTROL) == 0)
        return false;
      Copy();
      return true;
    case 'X':
      if ((state & MK_CONTROL) == 0)
        return false;
      Cut();
      return true;
    case 'V':
      if ((state & MK_CONTROL) == 0)
        return false;
      Paste();
      return true;
    case VK_BACK:
      if (editable && !DeleteSelection() && caret_ > 0)
        ReplaceText(PreviousCharacter(text_, caret_), caret_, "");
      return true;
    case VK_DELETE:
      if (editable && !DeleteSelection() && caret_ < text_.size())
        ReplaceText(caret_, NextCharacter(text_, caret_), "");
      return true;
    default:
      return false;
  }
}

void CEditUI::OnCharacter(char32_t c) {
  InsertCharacters(std::u32string_view(&c, 1));
}

bool CEditUI::InsertCharacters(std::u32string_view typed) {
  if (read_only_ || !IsEnabled())
    return false;
  caret_ = std::min(caret_, text_.size());
  anchor_ = std::min(anchor_, text_.size());
  const size_t low = std::min(caret_, anchor_);
  const size_t high = std::max(caret_, anchor_);
  // The selection goes, so it does not count against the limit.
  const size_t kept =
      DecodeUtf8(text_).size() - DecodeUtf8(std::string_view(text_).substr(low, high - low)).size();
  size_t room = std::string::npos;
  if (max_chars_ > 0)
    room = kept >= static_cast<size_t>(max_chars_) ? 0 : static_cast<size_t>(max_chars_) - kept;
  std::string add;
  for (char32_t c : typed) {
    if (room == 0)
      break;
    if (!TakesCharacter(c))
      continue;
    AppendUtf8(add, c);
    if (room != std::string::npos)
      --room;
  }
  if (add.empty())
    return false;
  ReplaceText(low, high, add);
  return true;
}

bool CEditUI::InsertText(const std::string& utf8) {
  return InsertCharacters(DecodeUtf8(utf8));
}

bool CEditUI::Copy() {
  if (password_)
    return false;
  const size_t caret = std::min(caret_, text_.size());
  const size_t anchor = std::min(anchor_, text_.size());
  if (caret == anchor)
    return false;
  const size_t low = std::min(caret, anchor);
  return CurrentBackend().SetClipboardText(text_.substr(low, std::max(caret, anchor) - low));
}

bool CEditUI::Cut() {
  if (read_only_ || !IsEnabled() || !Copy())
    return false;
  DeleteSelection();
  return true;
}

bool CEditUI::Paste() {
  if (read_only_ || !IsEnabled())
    return false;
  std::u32string pasted;
  const std::u32string clip = DecodeUtf8(CurrentBackend().GetClipboardText());
  for (size_t i = 0; i < clip.size(); ++i) {
    char32_t c = clip[i];
    if (c == '\r' || c == '\n') {
      if (!IsMultiLine())
        break;  // one line takes the first line
      if (c == '\r' && i + 1 < clip.size() && clip[i + 1] == '\n')
        ++i;
      c = '\n';
    }
    pasted.push_back(c);
  }
  return InsertCharacters(pasted);
}

void CEditUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_CHAR:
      OnCharacter(event.chKey);
      return;
    case UIEVENT_KEYDOWN:
      OnKey(event.chKey, event.wKeyState);
      return;
    case UIEVENT_TEXTINPUT:
      composition_.clear();
      InsertText(event.text);
      Invalidate();
      return;
    case UIEVENT_COMPOSITION: {
      if (read_only_ || !IsEnabled())
        return;
      // Shown only: what the edit would not take is not shown either.
      composition_.clear();
      int characters = 0;
      for (char32_t c : DecodeUtf8(event.text)) {
        if (!TakesCharacter(c))
          continue;
        AppendUtf8(composition_, c);
        ++characters;
      }
      composition_cursor_ = std::clamp(static_cast<int>(event.wParam), 0, characters);
      Invalidate();
      return;
    }
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      selecting_ = false;
      composition_.clear();
      Invalidate();
      return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled()) {
        MoveCaret(OffsetAtX(event.ptMouse.x), (event.wKeyState & MK_SHIFT) != 0);
        selecting_ = true;
      }
      break;
    case UIEVENT_MOUSEMOVE:
      if (selecting_)
        MoveCaret(OffsetAtX(event.ptMouse.x), true);
      break;
    case UIEVENT_BUTTONUP:
      selecting_ = false;
      break;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "password") {
    SetPasswordMode(ParseBool(value));
  } else if (n == "readonly") {
    SetReadOnly(ParseBool(value));
  } else if (n == "maxchar") {
    SetMaxChar(ParseInt(value, kDefaultEditMaxChars));
  } else if (n == "focusbordercolor") {
    focus_border_colour_ = ParseColour(value, focus_border_colour_);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

std::string CEditUI::DisplayText() const {
  return password_ ? std::string(DecodeUtf8(text_).size(), '*') : std::string(text_);
}

size_t CEditUI::DisplayOffset(size_t at) const {
  return password_ ? static_cast<size_t>(CharactersBefore(text_, at)) : std::min(at, text_.size());
}

int CEditUI::TextWidth(const std::string& display, size_t display_end) const {
  if (display_end == 0 || manager_ == nullptr)
    return 0;
  return manager_->MeasureText(display.substr(0, display_end), font_).cx;
}

int CEditUI::TextOrigin(const std::string& display, size_t caret, const RECT& box) {
  const int box_width = box.right - box.left;
  const int full = TextWidth(display, display.size());
  if (full < box_width) {
    scroll_ = 0;
    if (text_style_ & DT_CENTER)
      return box.left + (box_width - full) / 2;
    if (text_style_ & DT_RIGHT)
      return box.right - full;
    return box.left;
  }
  // One pixel is kept for the caret at the end of the text.
  const int caret_x = TextWidth(display, caret);
  if (caret_x - scroll_ > box_width - 1)
    scroll_ = caret_x - box_width + 1;
  if (caret_x < scroll_)
    scroll_ = caret_x;
  scroll_ = std::clamp(scroll_, 0, full - box_width + 1);
  return box.left - scroll_;
}

size_t CEditUI::OffsetAtX(int x) {
  const std::string display = DisplayText();
  const int origin = TextOrigin(display, DisplayOffset(caret_), GetTextRect());
  size_t best = 0;
  int best_distance = std::abs(x - origin);
  for (size_t at = NextCharacter(text_, 0); at > best; at = NextCharacter(text_, at)) {
    const int distance = std::abs(x - origin - TextWidth(display, DisplayOffset(at)));
    if (distance < best_distance) {
      best = at;
      best_distance = distance;
    }
    if (at == text_.size())
      break;
  }
  return best;
}

CEditUI::Shown CEditUI::MakeShown() const {
  Shown shown;
  const size_t low = std::min(std::min(caret_, anchor_), text_.size());
  const size_t high = std::min(std::max(caret_, anchor_), text_.size());
  if (composition_.empty()) {
    shown.text = DisplayText();
    shown.caret = DisplayOffset(caret_);
    shown.selection_low = DisplayOffset(low);
    shown.selection_high = DisplayOffset(high);
    shown.composition_begin = shown.composition_end = shown.caret;
    return shown;
  }
  // The composition stands where the selection is; it has no selection of its own.
  const std::string with =
      text_.substr(0, low) + composition_ + text_.substr(high, std::string::npos);
  size_t begin = low;
  size_t end = low + composition_.size();
  size_t caret = low + OffsetOfCharacter(composition_, composition_cursor_);
  if (password_) {
    shown.text.assign(DecodeUtf8(with).size(), '*');
    begin = static_cast<size_t>(CharactersBefore(with, begin));
    end = static_cast<size_t>(CharactersBefore(with, end));
    caret = static_cast<size_t>(CharactersBefore(with, caret));
  } else {
    shown.text = with;
  }
  shown.caret = shown.selection_low = shown.selection_high = caret;
  shown.composition_begin = begin;
  shown.composition_end = end;
  return shown;
}

void CEditUI::TellInputMethod(const RECT& caret) {
  if (manager_ == nullptr || manager_->GetWindow() == nullptr)
    return;
  if (NativeWindow* native = manager_->GetWindow()->native())
    native->SetTextInputRect(caret);
}

void CEditUI::PaintText(RenderTarget& hdc) {
  if (manager_ == nullptr)
    return;
  if (!DrawsCaret() && !password_) {
    CLabelUI::PaintText(hdc);
    return;
  }
  const RECT box = GetTextRect();
  if (RectEmpty(box))
    return;
  const Shown shown = MakeShown();
  const std::string& display = shown.text;
  const bool active = DrawsCaret() && focused_ && IsEnabled();
  if (!active && display.empty())
    return;
  const FontSpec& font = manager_->GetFont(font_);
  const int origin = TextOrigin(display, shown.caret, box);
  const int full = TextWidth(display, display.size());
  // The line the caret and the selection mark: one text line high, placed as the text is.
  const int line = manager_->MeasureText(display.empty() ? "|" : display, font_).cy;
  const int top = (text_style_ & DT_VCENTER)  ? box.top + (box.bottom - box.top - line) / 2
                  : (text_style_ & DT_BOTTOM) ? box.bottom - line
                                              : box.top;
  hdc.PushClip(box);
  if (active && shown.selection_low != shown.selection_high) {
    hdc.FillRect(RECT{origin + TextWidth(display, shown.selection_low), top,
                      origin + TextWidth(display, shown.selection_high), top + line},
                 selection_colour_);
  }
  if (!display.empty()) {
    if (origin == box.left - scroll_ && scroll_ > 0) {
      // Scrolled: the whole line drawn from its origin, cut by the clip.
      hdc.DrawText(display, RECT{origin, box.top, origin + full + 1, box.bottom}, font,
                   CurrentTextColor(), text_style_ & ~(DT_CENTER | DT_RIGHT | DT_END_ELLIPSIS));
    } else {
      hdc.DrawText(display, box, font, CurrentTextColor(), text_style_);
    }
  }
  if (active && shown.composition_begin != shown.composition_end) {
    // The text being composed is underlined, as input methods show it.
    hdc.FillRect(RECT{origin + TextWidth(display, shown.composition_begin), top + line - 1,
                      origin + TextWidth(display, shown.composition_end), top + line},
                 CurrentTextColor());
  }
  if (active && !read_only_) {
    const int x = origin + TextWidth(display, shown.caret);
    const RECT caret{x, top, x + 1, top + line};
    hdc.FillRect(caret, CurrentTextColor());
    TellInputMethod(caret);
  }
  hdc.PopClip();
}

void CEditUI::PaintBorder(RenderTarget& hdc) {
  if (focused_ && focus_border_colour_ != 0) {
    hdc.DrawBorder(rect_, std::max(1, border_size_), focus_border_colour_);
    return;
  }
  CLabelUI::PaintBorder(hdc);
}

CRichEditUI::CRichEditUI() {
  text_style_ = DT_WORDBREAK;
  max_chars_ = 0;  // no limit
}

const char* CRichEditUI::GetClass() const {
  return "RichEditUI";
}

void* CRichEditUI::GetInterface(const char* name) {
  if (strcasecmp(name, "RichEdit") == 0)
    return this;
  return CEditUI::GetInterface(name);
}

void CRichEditUI::SetAttribute(const char* name, const char* value) {
  if (std::string_view(name) == "multiline")
    return;  // always several lines
  CEditUI::SetAttribute(name, value);
}

void CRichEditUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_KEYDOWN && event.chKey == VK_RETURN) {
    if (TakesReturn())
      InsertText("\n");
    return;
  }
  CEditUI::DoEvent(event);
}

bool CRichEditUI::TakesCharacter(char32_t c) const {
  return c == '\n' || CEditUI::TakesCharacter(c);
}

}  // namespace skinui
