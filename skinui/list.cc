#include "skinui/list.h"

#include <strings.h>

#include <algorithm>

#include "skinui/attribute_parse.h"

namespace skinui {
namespace {

// Height of a drop-list row that has none of its own.
constexpr int kDefaultDropRowHeight = 24;

CListContainerElementUI* AsRow(CControlUI* c) {
  return c != nullptr
             ? static_cast<CListContainerElementUI*>(c->GetInterface("ListContainerElement"))
             : nullptr;
}

}  // namespace

// ---- CListUI --------------------------------------------------------------------------------

CListUI::CListUI() {
  scroll_enabled_ = true;
}

const char* CListUI::GetClass() const {
  return "ListUI";
}

void* CListUI::GetInterface(const char* name) {
  if (strcasecmp(name, "List") == 0)
    return this;
  if (strcasecmp(name, "IListOwner") == 0)
    return static_cast<IListOwnerUI*>(this);
  return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::AddAt(CControlUI* control, int index) {
  index = std::clamp(index, 0, GetCount());
  if (!CVerticalLayoutUI::AddAt(control, index))
    return false;
  if (CListContainerElementUI* row = AsRow(control))
    row->SetOwner(this);
  selection_.Inserted(index);
  return true;
}

bool CListUI::RemoveAt(int index, bool do_not_destroy) {
  if (GetItemAt(index) == nullptr)
    return false;
  if (CListContainerElementUI* row = AsRow(GetItemAt(index)); row && do_not_destroy) {
    row->SetOwner(nullptr);
  }
  selection_.Removed(index);
  return CVerticalLayoutUI::RemoveAt(index, do_not_destroy);
}

void CListUI::RemoveAll() {
  selection_.set(-1);
  CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SelectItem(int index, bool take_focus, bool trigger_event) {
  if (index == selection_.cur())
    return true;
  if (index != -1 && GetItemAt(index) == nullptr)
    return false;
  const int old = selection_.cur();
  if (CListContainerElementUI* prev = AsRow(GetItemAt(old)))
    prev->SetSelectedState(false);
  selection_.set(index);
  if (index == -1)
    return true;
  CControlUI* row = GetItemAt(index);
  if (CListContainerElementUI* r = AsRow(row))
    r->SetSelectedState(true);
  EnsureVisible(index);
  if (take_focus)
    row->SetFocus();
  if (trigger_event && manager_ != nullptr) {
    manager_->SendNotify(this, kNotifyItemSelect, static_cast<WPARAM>(index), old);
  }
  return true;
}

void CListUI::EnsureVisible(int index) {
  CControlUI* row = GetItemAt(index);
  if (row == nullptr || !scroll_enabled_)
    return;
  const RECT inner = InnerRect();
  const RECT& r = row->GetPos();
  if (r.top < inner.top) {
    SetScrollPos(scroll_pos_ - (inner.top - r.top));
  } else if (r.bottom > inner.bottom) {
    SetScrollPos(scroll_pos_ + (r.bottom - inner.bottom));
  }
}

void CListUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_KEYDOWN) {
    if (event.chKey == VK_UP && GetCurSel() > 0) {
      SelectItem(GetCurSel() - 1, true);
      return;
    }
    if (event.chKey == VK_DOWN && GetCurSel() + 1 < GetCount()) {
      SelectItem(GetCurSel() + 1, true);
      return;
    }
  }
  CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "itemselectedbkcolor") {
    selected_bk_ = ParseColour(value, selected_bk_);
  } else if (n == "itemhotbkcolor") {
    hot_bk_ = ParseColour(value, hot_bk_);
  } else {
    CVerticalLayoutUI::SetAttribute(name, value);
  }
}

// ---- CListContainerElementUI ------------------------------------------------------------------

const char* CListContainerElementUI::GetClass() const {
  return "ListContainerElementUI";
}

void* CListContainerElementUI::GetInterface(const char* name) {
  if (strcasecmp(name, "ListContainerElement") == 0 || strcasecmp(name, "ListItem") == 0) {
    return this;
  }
  return CHorizontalLayoutUI::GetInterface(name);
}

bool CListContainerElementUI::Select(bool select) {
  if (owner_ == nullptr)
    return false;
  return owner_->SelectItem(select ? GetIndex() : -1);
}

void CListContainerElementUI::SetSelectedState(bool selected) {
  selected_ = selected;
  Invalidate();
}

bool CListContainerElementUI::Activate() {
  if (!CControlUI::Activate())
    return false;
  if (manager_ != nullptr)
    manager_->SendNotify(this, kNotifyItemClick);
  return true;
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled()) {
        pressed_ = true;
        Select();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (PointInRect(rect_, event.ptMouse))
          Activate();  // last: a handler may remove the row
      }
      return;
    case UIEVENT_MOUSEENTER:
      hot_ = true;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      return;
    case UIEVENT_MOUSEMOVE:
      return;
    default:
      break;
  }
  // Keys and the wheel go to the list.
  if (owner_ != nullptr && (event.Type == UIEVENT_SCROLLWHEEL || event.Type == UIEVENT_KEYDOWN)) {
    owner_->GetOwnerControl()->DoEvent(event);
    return;
  }
  CHorizontalLayoutUI::DoEvent(event);
}

void CListContainerElementUI::PaintBkColor(RenderTarget& hdc) {
  if (owner_ != nullptr && selected_) {
    hdc.FillRect(rect_, owner_->GetSelectedItemBkColor());
  } else if (owner_ != nullptr && hot_) {
    hdc.FillRect(rect_, owner_->GetHotItemBkColor());
  } else {
    CHorizontalLayoutUI::PaintBkColor(hdc);
  }
}

// ---- CComboUI ---------------------------------------------------------------------------------

CComboUI::CComboUI() = default;

CComboUI::~CComboUI() {
  if (manager_ != nullptr && manager_->GetOverlay() == this)
    manager_->SetOverlay(nullptr);
}

const char* CComboUI::GetClass() const {
  return "ComboUI";
}

void* CComboUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Combo") == 0)
    return this;
  if (strcasecmp(name, "IListOwner") == 0)
    return static_cast<IListOwnerUI*>(this);
  return CContainerUI::GetInterface(name);
}

CDuiString CComboUI::GetText() const {
  CControlUI* row = GetItemAt(selection_.cur());
  return row != nullptr ? row->GetText() : CDuiString();
}

bool CComboUI::AddAt(CControlUI* control, int index) {
  index = std::clamp(index, 0, GetCount());
  if (!CContainerUI::AddAt(control, index))
    return false;
  if (CListContainerElementUI* row = AsRow(control))
    row->SetOwner(this);
  selection_.Inserted(index);
  if (dropped_)
    LayoutDrop();
  return true;
}

bool CComboUI::RemoveAt(int index, bool do_not_destroy) {
  if (GetItemAt(index) == nullptr)
    return false;
  if (CListContainerElementUI* row = AsRow(GetItemAt(index)); row && do_not_destroy) {
    row->SetOwner(nullptr);
  }
  selection_.Removed(index);
  const bool ok = CContainerUI::RemoveAt(index, do_not_destroy);
  if (dropped_)
    LayoutDrop();
  return ok;
}

void CComboUI::RemoveAll() {
  selection_.set(-1);
  CContainerUI::RemoveAll();
  if (dropped_)
    LayoutDrop();
}

bool CComboUI::SelectItem(int index, bool, bool trigger_event) {
  if (index != -1 && GetItemAt(index) == nullptr)
    return false;
  SetDropped(false);
  if (index == selection_.cur())
    return true;
  const int old = selection_.cur();
  if (CListContainerElementUI* prev = AsRow(GetItemAt(old)))
    prev->SetSelectedState(false);
  selection_.set(index);
  if (CListContainerElementUI* row = AsRow(GetItemAt(index)))
    row->SetSelectedState(true);
  Invalidate();
  if (index != -1 && trigger_event && manager_ != nullptr) {
    manager_->SendNotify(this, kNotifyItemSelect, static_cast<WPARAM>(index), old);
  }
  return true;
}

void CComboUI::SetDropped(bool dropped) {
  if (dropped_ == dropped)
    return;
  dropped_ = dropped;
  if (manager_ == nullptr)
    return;
  if (dropped) {
    LayoutDrop();
    manager_->SetOverlay(this);
  } else if (manager_->GetOverlay() == this) {
    manager_->SetOverlay(nullptr);
  }
  Invalidate();
}

RECT CComboUI::OverlayRect() {
  LONG content = 0;
  for (CControlUI* c : items_) {
    if (c->IsVisible())
      content += c->GetFixedHeight() > 0 ? c->GetFixedHeight() : kDefaultDropRowHeight;
  }
  return RECT{rect_.left, rect_.bottom, rect_.right,
              rect_.bottom + std::min<LONG>(content, drop_height_)};
}

void CComboUI::LayoutDrop() {
  const RECT area = OverlayRect();
  LONG y = area.top;
  for (CControlUI* c : items_) {
    if (!c->IsVisible())
      continue;
    const LONG h = c->GetFixedHeight() > 0 ? c->GetFixedHeight() : kDefaultDropRowHeight;
    c->SetPos(RECT{area.left, y, area.right, y + h});
    y += h;
  }
}

CControlUI* CComboUI::OverlayHitTest(POINT pt) {
  if (!PointInRect(OverlayRect(), pt))
    return nullptr;
  for (CControlUI* c : items_) {
    if (CControlUI* hit = c->HitTest(pt))
      return hit;
  }
  return nullptr;
}

void CComboUI::PaintOverlay(RenderTarget& hdc) {
  const RECT area = OverlayRect();
  if (RectEmpty(area))
    return;
  hdc.FillRect(area, 0xFFFFFFFF);
  hdc.PushClip(area);
  for (CControlUI* c : items_) {
    if (c->IsVisible())
      c->DoPaint(hdc, area);
  }
  hdc.PopClip();
  hdc.DrawBorder(area, 1, 0xFF808080);
}

void CComboUI::SetPos(const RECT& rect) {
  CControlUI::SetPos(rect);
  if (dropped_)
    LayoutDrop();
}

CControlUI* CComboUI::HitTest(POINT pt) {
  return CControlUI::HitTest(pt);
}

bool CComboUI::Activate() {
  if (!CControlUI::Activate())
    return false;
  SetDropped(!dropped_);
  return true;
}

void CComboUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled())
        pressed_ = true;
      return;
    case UIEVENT_BUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (PointInRect(rect_, event.ptMouse))
          Activate();
      }
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_DOWN && GetCurSel() + 1 < GetCount()) {
        SelectItem(GetCurSel() + 1);
      } else if (event.chKey == VK_UP && GetCurSel() > 0) {
        SelectItem(GetCurSel() - 1);
      }
      return;
    default:
      CContainerUI::DoEvent(event);
  }
}

void CComboUI::DoPaint(RenderTarget& hdc, const RECT& paint) {
  if (RectEmpty(IntersectRects(paint, rect_)))
    return;
  CControlUI::DoPaint(hdc, paint);
  if (!normal_image_.empty())
    DrawImage(hdc, normal_image_, rect_);
  const std::string text = GetText();
  if (!text.empty() && manager_ != nullptr) {
    const RECT box{rect_.left + text_padding_.left, rect_.top + text_padding_.top,
                   rect_.right - text_padding_.right, rect_.bottom - text_padding_.bottom};
    hdc.DrawText(text, box, manager_->GetFont(font_), text_colour_, DT_SINGLELINE | DT_VCENTER);
  }
}

void CComboUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "dropboxsize") {
    drop_height_ = std::max<LONG>(0, ParseSize(value).cy);
  } else if (n == "font") {
    font_ = ParseInt(value, -1);
  } else if (n == "textcolor") {
    text_colour_ = ParseColour(value, text_colour_);
  } else if (n == "textpadding") {
    text_padding_ = ParseRect(value);
  } else if (n == "normalimage") {
    normal_image_ = value;
  } else if (n == "itemselectedbkcolor") {
    selected_bk_ = ParseColour(value, selected_bk_);
  } else if (n == "itemhotbkcolor") {
    hot_bk_ = ParseColour(value, hot_bk_);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

}  // namespace skinui
