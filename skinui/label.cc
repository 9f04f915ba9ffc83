#include "skinui/label.h"

#include <strings.h>

#include <algorithm>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"

namespace skinui {

CLabelUI::CLabelUI() = default;

const char* CLabelUI::GetClass() const {
  return "LabelUI";
}

void* CLabelUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Label") == 0)
    return this;
  return CControlUI::GetInterface(name);
}

void CLabelUI::SetFont(int index) {
  font_ = index;
  Invalidate();
}

void CLabelUI::SetTextColor(DWORD argb) {
  text_colour_ = argb;
  Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& padding) {
  text_padding_ = padding;
  Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
  text_style_ = style;
  Invalidate();
}

void CLabelUI::SetShowHtml(bool show) {
  show_html_ = show;
  Invalidate();
}

RECT CLabelUI::GetTextRect() const {
  return RECT{rect_.left + text_padding_.left, rect_.top + text_padding_.top,
              rect_.right - text_padding_.right, rect_.bottom - text_padding_.bottom};
}

std::string CLabelUI::GetDrawnText() const {
  const std::string text = GetText();
  if (!show_html_)
    return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      const size_t close = text.find('}', i);
      if (close != std::string::npos) {
        // "{n}" is a line break.
        if (text.compare(i, close - i + 1, "{n}") == 0)
          out.push_back('\n');
        i = close;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

void CLabelUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "font") {
    SetFont(ParseInt(value, -1));
  } else if (n == "textcolor") {
    SetTextColor(ParseColour(value, text_colour_));
  } else if (n == "disabledtextcolor") {
    SetDisabledTextColor(ParseColour(value, disabled_text_colour_));
  } else if (n == "textpadding") {
    SetTextPadding(ParseRect(value));
  } else if (n == "showhtml") {
    SetShowHtml(ParseBool(value));
  } else if (n == "multiline") {
    if (ParseBool(value)) {
      text_style_ = (text_style_ & ~DT_SINGLELINE) | DT_WORDBREAK;
    } else {
      text_style_ = (text_style_ & ~DT_WORDBREAK) | DT_SINGLELINE;
    }
  } else if (n == "endellipsis") {
    text_style_ = ParseBool(value) ? text_style_ | DT_END_ELLIPSIS : text_style_ & ~DT_END_ELLIPSIS;
  } else if (n == "align") {
    const std::string v(value);
    if (v.find("left") != std::string::npos)
      text_style_ &= ~(DT_CENTER | DT_RIGHT);
    if (v.find("center") != std::string::npos) {
      text_style_ = (text_style_ & ~DT_RIGHT) | DT_CENTER;
    }
    if (v.find("right") != std::string::npos) {
      text_style_ = (text_style_ & ~DT_CENTER) | DT_RIGHT;
    }
  } else if (n == "valign") {
    const std::string v(value);
    text_style_ &= ~(DT_VCENTER | DT_BOTTOM);
    if (v.find("center") != std::string::npos || v.find("vcenter") != std::string::npos) {
      text_style_ |= DT_VCENTER;
    } else if (v.find("bottom") != std::string::npos) {
      text_style_ |= DT_BOTTOM;
    }
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

DWORD CLabelUI::CurrentTextColor() const {
  return IsEnabled() ? text_colour_ : disabled_text_colour_;
}

void CLabelUI::PaintText(RenderTarget& hdc) {
  const std::string text = GetDrawnText();
  if (text.empty() || manager_ == nullptr)
    return;
  const RECT box = GetTextRect();
  if (RectEmpty(box))
    return;
  hdc.DrawText(text, box, manager_->GetFont(font_), CurrentTextColor(), text_style_);
}

CProgressUI::CProgressUI() {
  text_style_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
}

const char* CProgressUI::GetClass() const {
  return "ProgressUI";
}

void* CProgressUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Progress") == 0)
    return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int v) {
  min_value_ = v;
  SetValue(value_);
  Invalidate();
}

void CProgressUI::SetMaxValue(int v) {
  max_value_ = v;
  SetValue(value_);
  Invalidate();
}

void CProgressUI::SetValue(int v) {
  const int lo = std::min(min_value_, max_value_);
  const int hi = std::max(min_value_, max_value_);
  value_ = std::clamp(v, lo, hi);
  Invalidate();
}

RECT CProgressUI::GetFillRect() const {
  RECT r = rect_;
  const int64_t span = static_cast<int64_t>(max_value_) - min_value_;
  const int64_t done = span <= 0 ? 0 : static_cast<int64_t>(value_) - min_value_;
  if (horizontal_) {
    r.right = span <= 0 ? r.left : static_cast<LONG>(r.left + (r.right - r.left) * done / span);
  } else {
    r.top = span <= 0 ? r.bottom : static_cast<LONG>(r.bottom - (r.bottom - r.top) * done / span);
  }
  return r;
}

void CProgressUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "min") {
    SetMinValue(ParseInt(value));
  } else if (n == "max") {
    SetMaxValue(ParseInt(value, 100));
  } else if (n == "value") {
    SetValue(ParseInt(value));
  } else if (n == "hor") {
    horizontal_ = ParseBool(value);
  } else if (n == "forecolor") {
    fore_colour_ = ParseColour(value, fore_colour_);
  } else if (n == "foreimage") {
    fore_image_ = value;
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CProgressUI::PaintStatusImage(RenderTarget& hdc) {
  const RECT fill = GetFillRect();
  if (RectEmpty(fill))
    return;
  if (fore_image_.empty() || !DrawImage(hdc, fore_image_, fill))
    hdc.FillRect(fill, fore_colour_);
}

}  // namespace skinui
