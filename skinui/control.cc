#include "skinui/control.h"

#include <strings.h>

#include <algorithm>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"
#include "skinui/utf8.h"

namespace skinui {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (manager_ != nullptr)
    manager_->ReapControl(this);
}

const char* CControlUI::GetClass() const {
  return "ControlUI";
}

void* CControlUI::GetInterface(const char* name) {
  return strcasecmp(name, "Control") == 0 ? this : nullptr;
}

void CControlUI::SetName(const char* name) {
  const std::string old = name_;
  name_ = name != nullptr ? name : "";
  if (manager_ != nullptr) {
    manager_->UnregisterName(this, old);
    manager_->RegisterName(this);
  }
}

void CControlUI::SetText(const char* text) {
  const char* t = text != nullptr ? text : "";
  if (text_ == t)
    return;
  text_ = t;
  Invalidate();
}

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible)
    return;
  const bool was = IsVisible();
  visible_ = visible;
  if (!IsVisible() && focused_ && manager_ != nullptr)
    manager_->SetFocus(nullptr);
  if (was != IsVisible())
    NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
  intern_visible_ = visible;
  if (!IsVisible() && focused_ && manager_ != nullptr)
    manager_->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled)
    return;
  enabled_ = enabled;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (manager_ != nullptr)
    manager_->SetFocus(this);
}

void CControlUI::SetPos(const RECT& rect) {
  rect_ = rect;
  Invalidate();
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0)
    return;
  fixed_.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0)
    return;
  fixed_.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetPadding(const RECT& padding) {
  padding_ = padding;
  NeedParentUpdate();
}

void CControlUI::SetFloat(bool f) {
  float_ = f;
  NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) {
  return fixed_;
}

void CControlUI::SetBkColor(DWORD argb) {
  bk_colour_ = argb;
  Invalidate();
}

void CControlUI::SetBkImage(const char* image) {
  bk_image_ = image != nullptr ? image : "";
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
  border_colour_ = argb;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  border_size_ = size;
  Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  if (manager_ != nullptr && manager_ != manager)
    manager_->ReapControl(this);
  manager_ = manager;
  parent_ = parent;
  if (manager_ != nullptr)
    manager_->RegisterName(this);
}

CControlUI* CControlUI::HitTest(POINT pt) {
  if (!IsVisible() || !PointInRect(rect_, pt))
    return nullptr;
  return mouse_enabled_ ? this : nullptr;
}

CControlUI* CControlUI::FindByName(const char* name) {
  return name != nullptr && name_ == name ? this : nullptr;
}

void CControlUI::SetAttribute(const char* n, const char* value) {
  const std::string_view name(n);
  if (name == "name") {
    SetName(value);
  } else if (name == "text") {
    SetText(value);
  } else if (name == "tooltip") {
    tooltip_ = value;
  } else if (name == "userdata") {
    SetUserData(value);
  } else if (name == "pos") {
    const RECT r = ParseRect(value);
    float_offset_ = POINT{r.left, r.top};
    fixed_ = SIZE{std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top)};
    NeedParentUpdate();
  } else if (name == "float") {
    SetFloat(ParseBool(value));
  } else if (name == "padding") {
    SetPadding(ParseRect(value));
  } else if (name == "width") {
    SetFixedWidth(ParseCoordinate(value));
  } else if (name == "height") {
    SetFixedHeight(ParseCoordinate(value));
  } else if (name == "minwidth") {
    min_.cx = ParseCoordinate(value);
  } else if (name == "minheight") {
    min_.cy = ParseCoordinate(value);
  } else if (name == "maxwidth") {
    max_.cx = ParseCoordinate(value, 9999);
  } else if (name == "maxheight") {
    max_.cy = ParseCoordinate(value, 9999);
  } else if (name == "bkcolor") {
    SetBkColor(ParseColour(value));
  } else if (name == "bordercolor") {
    SetBorderColor(ParseColour(value));
  } else if (name == "bordersize") {
    SetBorderSize(ParseCoordinate(value));
  } else if (name == "bkimage") {
    SetBkImage(value);
  } else if (name == "visible") {
    SetVisible(ParseBool(value));
  } else if (name == "enabled") {
    SetEnabled(ParseBool(value));
  } else if (name == "mouse") {
    SetMouseEnabled(ParseBool(value));
  } else if (name == "tag") {
    tag_ = static_cast<UINT_PTR>(ParseInt(value));
  }
}

void CControlUI::ApplyAttributeList(const char* list) {
  // name="value" pairs; values may also be quoted with '.
  std::string_view s(list != nullptr ? list : "");
  while (!s.empty()) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) {
      s.remove_prefix(1);
    }
    const size_t eq = s.find('=');
    if (eq == std::string_view::npos || eq + 1 >= s.size())
      return;
    const char quote = s[eq + 1];
    if (quote != '"' && quote != '\'')
      return;
    const size_t end = s.find(quote, eq + 2);
    if (end == std::string_view::npos)
      return;
    const std::string key(s.substr(0, eq));
    const std::string value(s.substr(eq + 2, end - eq - 2));
    SetAttribute(key.c_str(), value.c_str());
    s.remove_prefix(end + 1);
  }
}

void CControlUI::DoEvent(TEventUI& event) {
  if (IsMouseEvent(event.Type) && event.Type != UIEVENT_MOUSEENTER &&
      event.Type != UIEVENT_MOUSELEAVE && parent_ != nullptr) {
    parent_->DoEvent(event);
    return;
  }
  if (event.Type == UIEVENT_TEXTINPUT) {
    // A control without its own handling of committed text sees it typed, one character each.
    const std::weak_ptr<const int> life = Life();
    for (char32_t c : DecodeUtf8(event.text)) {
      TEventUI typed = event;
      typed.Type = UIEVENT_CHAR;
      typed.chKey = c;
      typed.text.clear();
      DoEvent(typed);
      if (life.expired())
        return;
    }
  }
}

bool CControlUI::Activate() {
  return IsVisible() && IsEnabled();
}

void CControlUI::DoPaint(RenderTarget& hdc, const RECT& paint) {
  if (RectEmpty(IntersectRects(paint, rect_)))
    return;
  PaintBkColor(hdc);
  PaintBkImage(hdc);
  PaintStatusImage(hdc);
  PaintText(hdc);
  PaintBorder(hdc);
}

void CControlUI::PaintBkColor(RenderTarget& hdc) {
  if (bk_colour_ != 0)
    hdc.FillRect(rect_, bk_colour_);
}

void CControlUI::PaintBkImage(RenderTarget& hdc) {
  if (!bk_image_.empty())
    DrawImage(hdc, bk_image_, rect_);
}

void CControlUI::PaintStatusImage(RenderTarget&) {}
void CControlUI::PaintText(RenderTarget&) {}

void CControlUI::PaintBorder(RenderTarget& hdc) {
  if (border_size_ > 0 && border_colour_ != 0)
    hdc.DrawBorder(rect_, border_size_, border_colour_);
}

bool CControlUI::DrawImage(RenderTarget& hdc, const std::string& text, const RECT& rect,
                           const RECT* source) {
  if (manager_ == nullptr || text.empty())
    return false;
  const ImageSpec spec = ParseImageSpec(text);
  Image* image = manager_->GetImage(spec.file);
  if (image == nullptr)
    return false;
  RECT src = RECT{0, 0, image->width(), image->height()};
  if (source != nullptr)
    src = *source;
  if (spec.has_source)
    src = spec.source;
  // A source rectangle from a skin is held to the image: outside it there are no pixels to draw.
  src =
      RECT{std::max<LONG>(src.left, 0), std::max<LONG>(src.top, 0),
           std::min<LONG>(src.right, image->width()), std::min<LONG>(src.bottom, image->height())};
  if (src.left >= src.right || src.top >= src.bottom)
    return false;
  RECT dest = rect;
  if (spec.has_dest) {
    dest = RECT{rect.left + spec.dest.left, rect.top + spec.dest.top, rect.left + spec.dest.right,
                rect.top + spec.dest.bottom};
  }
  hdc.DrawImage(*image, dest, src);
  return true;
}

void CControlUI::NeedUpdate() {
  if (manager_ != nullptr)
    manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  NeedUpdate();
}

void CControlUI::Invalidate() {
  if (manager_ != nullptr)
    manager_->Invalidate();
}

}  // namespace skinui
