#include "skinui/button.h"

#include <strings.h>

#include <algorithm>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"

namespace skinui {

CButtonUI::CButtonUI() {
  text_style_ = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

const char* CButtonUI::GetClass() const {
  return "ButtonUI";
}

void* CButtonUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Button") == 0)
    return this;
  return CLabelUI::GetInterface(name);
}

void CButtonUI::SetNormalImage(const char* image) {
  normal_image_ = image;
  Invalidate();
}
void CButtonUI::SetHotImage(const char* image) {
  hot_image_ = image;
  Invalidate();
}
void CButtonUI::SetPushedImage(const char* image) {
  pushed_image_ = image;
  Invalidate();
}
void CButtonUI::SetDisabledImage(const char* image) {
  disabled_image_ = image;
  Invalidate();
}
void CButtonUI::SetForeImage(const char* image) {
  fore_image_ = image;
  Invalidate();
}
void CButtonUI::SetHotForeImage(const char* image) {
  hot_fore_image_ = image;
  Invalidate();
}

void CButtonUI::SetButtonImage(const char* image, int count, bool horizontal) {
  strip_image_ = image != nullptr ? image : "";
  strip_count_ = std::max(1, count);
  strip_horizontal_ = horizontal;
  Invalidate();
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate())
    return false;
  if (manager_ != nullptr)
    manager_->SendNotify(this, kNotifyClick);
  return true;
}

void CButtonUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (PointInRect(rect_, event.ptMouse) && IsEnabled()) {
        state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (state_ & UISTATE_CAPTURED) {
        const bool in = PointInRect(rect_, event.ptMouse);
        state_ = in ? state_ | UISTATE_PUSHED : state_ & ~UISTATE_PUSHED;
        Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (state_ & UISTATE_CAPTURED) {
        const bool in = PointInRect(rect_, event.ptMouse);
        state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        // Last: a handler of the click may remove this button.
        if (in)
          Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        state_ |= UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      state_ &= ~UISTATE_HOT;
      Invalidate();
      return;
    case UIEVENT_SETFOCUS:
      state_ |= UISTATE_FOCUSED;
      return;
    case UIEVENT_KILLFOCUS:
      state_ &= ~UISTATE_FOCUSED;
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) {
        Activate();
        return;
      }
      break;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

void CButtonUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "normalimage") {
    SetNormalImage(value);
  } else if (n == "hotimage") {
    SetHotImage(value);
  } else if (n == "pushedimage") {
    SetPushedImage(value);
  } else if (n == "disabledimage") {
    SetDisabledImage(value);
  } else if (n == "foreimage") {
    SetForeImage(value);
  } else if (n == "hotforeimage") {
    SetHotForeImage(value);
  } else if (n == "hottextcolor") {
    hot_text_colour_ = ParseColour(value);
  } else if (n == "pushedtextcolor") {
    pushed_text_colour_ = ParseColour(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

DWORD CButtonUI::CurrentTextColor() const {
  if (!IsEnabled())
    return disabled_text_colour_;
  if ((state_ & UISTATE_PUSHED) && pushed_text_colour_ != 0)
    return pushed_text_colour_;
  if ((state_ & UISTATE_HOT) && hot_text_colour_ != 0)
    return hot_text_colour_;
  return text_colour_;
}

bool CButtonUI::PaintStripCell(RenderTarget& hdc, int cell) {
  if (strip_image_.empty() || manager_ == nullptr)
    return false;
  Image* image = manager_->GetImage(ParseImageSpec(strip_image_).file);
  if (image == nullptr)
    return false;
  cell = std::min(cell, strip_count_ - 1);
  RECT src;
  if (strip_horizontal_) {
    const int w = image->width() / strip_count_;
    src = RECT{cell * w, 0, (cell + 1) * w, image->height()};
  } else {
    const int h = image->height() / strip_count_;
    src = RECT{0, cell * h, image->width(), (cell + 1) * h};
  }
  hdc.DrawImage(*image, rect_, src);
  return true;
}

void CButtonUI::PaintStatusImage(RenderTarget& hdc) {
  int cell = 0;
  const std::string* image = &normal_image_;
  if (!IsEnabled()) {
    cell = 3;
    if (!disabled_image_.empty())
      image = &disabled_image_;
  } else if (state_ & UISTATE_PUSHED) {
    cell = 2;
    if (!pushed_image_.empty())
      image = &pushed_image_;
  } else if (state_ & UISTATE_HOT) {
    cell = 1;
    if (!hot_image_.empty())
      image = &hot_image_;
  }
  if (!PaintStripCell(hdc, cell) && !image->empty())
    DrawImage(hdc, *image, rect_);
  const std::string& fore =
      (state_ & UISTATE_HOT) && !hot_fore_image_.empty() ? hot_fore_image_ : fore_image_;
  if (!fore.empty())
    DrawImage(hdc, fore, rect_);
}

COptionUI::~COptionUI() {
  if (manager_ != nullptr && !group_.empty())
    manager_->RemoveOptionGroup(group_, this);
}

const char* COptionUI::GetClass() const {
  return "OptionUI";
}

void* COptionUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Option") == 0)
    return this;
  return CButtonUI::GetInterface(name);
}

void COptionUI::SetGroup(const char* group) {
  const std::string g = group != nullptr ? group : "";
  if (g == group_)
    return;
  if (manager_ != nullptr && !group_.empty())
    manager_->RemoveOptionGroup(group_, this);
  group_ = g;
  if (manager_ != nullptr && !group_.empty())
    manager_->AddOptionGroup(group_, this);
  // Joining a group that already has a selection keeps that one.
  if (selected_ && manager_ != nullptr && !group_.empty()) {
    selected_ = false;
    Selected(true, false);
  }
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  if (manager_ != nullptr && manager_ != manager && !group_.empty()) {
    manager_->RemoveOptionGroup(group_, this);
  }
  const bool joined = manager != nullptr && manager != manager_ && !group_.empty();
  CButtonUI::SetManager(manager, parent);
  if (joined) {
    manager_->AddOptionGroup(group_, this);
    if (selected_) {
      selected_ = false;
      Selected(true, false);
    }
  }
}

void COptionUI::Selected(bool selected, bool trigger_event) {
  if (selected_ == selected)
    return;
  selected_ = selected;
  state_ = selected ? state_ | UISTATE_SELECTED : state_ & ~UISTATE_SELECTED;
  Invalidate();
  if (manager_ == nullptr)
    return;
  if (!group_.empty() && selected) {
    if (const auto* members = manager_->GetOptionGroup(group_)) {
      const std::vector<CControlUI*> copy = *members;
      for (CControlUI* c : copy) {
        auto* other = static_cast<COptionUI*>(c);
        if (other != this && other->selected_) {
          other->selected_ = false;
          other->state_ &= ~UISTATE_SELECTED;
          other->Invalidate();
        }
      }
    }
  }
  if (trigger_event && (group_.empty() || selected)) {
    manager_->SendNotify(this, kNotifySelectChanged, selected ? 1 : 0);
  }
}

bool COptionUI::Activate() {
  if (!CControlUI::Activate())
    return false;
  if (group_.empty()) {
    Selected(!selected_);
  } else {
    Selected(true);
  }
  if (manager_ != nullptr)
    manager_->SendNotify(this, kNotifyClick);
  return true;
}

void COptionUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "group") {
    SetGroup(value);
  } else if (n == "selected") {
    Selected(ParseBool(value), false);
  } else if (n == "selectedimage") {
    SetSelectedImage(value);
  } else if (n == "selectedhotimage") {
    SetSelectedHotImage(value);
  } else if (n == "selectedtextcolor") {
    SetSelectedTextColor(ParseColour(value));
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintStatusImage(RenderTarget& hdc) {
  if (selected_) {
    const std::string& image = (state_ & UISTATE_HOT) && !selected_hot_image_.empty()
                                   ? selected_hot_image_
                                   : selected_image_;
    if (!image.empty() && DrawImage(hdc, image, rect_)) {
      if (!fore_image_.empty())
        DrawImage(hdc, fore_image_, rect_);
      return;
    }
  }
  CButtonUI::PaintStatusImage(hdc);
}

DWORD COptionUI::CurrentTextColor() const {
  if (selected_ && selected_text_colour_ != 0 && IsEnabled())
    return selected_text_colour_;
  return CButtonUI::CurrentTextColor();
}

}  // namespace skinui
