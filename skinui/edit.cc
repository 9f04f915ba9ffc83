#include "skinui/edit.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"
#include "skinui/utf8.h"

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
  if (read_only_ || !IsEnabled() || !TakesCharacter(c))
    return;
  caret_ = std::min(caret_, text_.size());
  anchor_ = std::min(anchor_, text_.size());
  const size_t low = std::min(caret_, anchor_);
  const size_t high = std::max(caret_, anchor_);
  // The selection goes, so it does not count against the limit.
  const size_t kept =
      DecodeUtf8(text_).size() - DecodeUtf8(std::string_view(text_).substr(low, high - low)).size();
  if (max_chars_ > 0 && kept >= static_cast<size_t>(max_chars_))
    return;
  std::string typed;
  AppendUtf8(typed, c);
  ReplaceText(low, high, typed);
}

void CEditUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_CHAR:
      OnCharacter(event.chKey);
      return;
    case UIEVENT_KEYDOWN:
      OnKey(event.chKey, event.wKeyState);
      return;
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
      selecting_ = false;
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

int CEditUI::TextOrigin(const std::string& display, const RECT& box) {
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
  const int caret_x = TextWidth(display, DisplayOffset(caret_));
  if (caret_x - scroll_ > box_width - 1)
    scroll_ = caret_x - box_width + 1;
  if (caret_x < scroll_)
    scroll_ = caret_x;
  scroll_ = std::clamp(scroll_, 0, full - box_width + 1);
  return box.left - scroll_;
}

size_t CEditUI::OffsetAtX(int x) {
  const std::string display = DisplayText();
  const int origin = TextOrigin(display, GetTextRect());
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
  const std::string display = DisplayText();
  const bool active = DrawsCaret() && focused_ && IsEnabled();
  if (!active && display.empty())
    return;
  const FontSpec& font = manager_->GetFont(font_);
  const int origin = TextOrigin(display, box);
  const int full = TextWidth(display, display.size());
  // The line the caret and the selection mark: one text line high, placed as the text is.
  const int line = manager_->MeasureText(display.empty() ? "|" : display, font_).cy;
  const int top = (text_style_ & DT_VCENTER)  ? box.top + (box.bottom - box.top - line) / 2
                  : (text_style_ & DT_BOTTOM) ? box.bottom - line
                                              : box.top;
  hdc.PushClip(box);
  const size_t low = std::min(std::min(caret_, anchor_), text_.size());
  const size_t high = std::min(std::max(caret_, anchor_), text_.size());
  if (active && low != high) {
    hdc.FillRect(RECT{origin + TextWidth(display, DisplayOffset(low)), top,
                      origin + TextWidth(display, DisplayOffset(high)), top + line},
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
  if (active && !read_only_) {
    const int x = origin + TextWidth(display, DisplayOffset(caret_));
    hdc.FillRect(RECT{x, top, x + 1, top + line}, CurrentTextColor());
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

bool CRichEditUI::TakesCharacter(char32_t c) const {
  return c == '\n' || CEditUI::TakesCharacter(c);
}

}  // namespace skinui
