#include "skinui/edit.h"

#include <strings.h>

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
}

bool CEditUI::TakesCharacter(char32_t c) const {
  return c >= 0x20 && c != 0x7F;
}

void CEditUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_CHAR) {
    if (read_only_ || !IsEnabled() || !TakesCharacter(event.chKey))
      return;
    if (max_chars_ > 0 && static_cast<int>(DecodeUtf8(text_).size()) >= max_chars_)
      return;
    std::string t = text_;
    AppendUtf8(t, event.chKey);
    CLabelUI::SetText(t.c_str());
    return;
  }
  if (event.Type == UIEVENT_KEYDOWN) {
    if (event.chKey == VK_BACK && !read_only_ && IsEnabled()) {
      const std::string t = text_.substr(0, DropLastCharacter(text_));
      CLabelUI::SetText(t.c_str());
    }
    return;
  }
  if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) {
    Invalidate();
    return;
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

void CEditUI::PaintText(RenderTarget& hdc) {
  if (!password_) {
    CLabelUI::PaintText(hdc);
    return;
  }
  if (text_.empty() || manager_ == nullptr)
    return;
  const std::string stars(DecodeUtf8(text_).size(), '*');
  hdc.DrawText(stars, GetTextRect(), manager_->GetFont(font_), CurrentTextColor(), text_style_);
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
