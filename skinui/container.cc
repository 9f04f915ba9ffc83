#include "skinui/container.h"

#include <strings.h>

#include <algorithm>

#include "skinui/attribute_parse.h"
#include "skinui/paint_manager.h"

namespace skinui {
namespace {

// Pixels moved by one notch of the mouse wheel.
constexpr int kWheelStep = 30;
// Width of the drawn scroll bar.
constexpr int kScrollBarWidth = 6;

// A size kept within a control's limits; a minimum above the maximum wins.
LONG ClampSize(LONG v, LONG lo, LONG hi) {
  return std::max(lo, std::min(v, hi));
}

struct Slot {
  CControlUI* control;
  SIZE size;
};

// The children a layout places along its axis (visible, not floating) with their estimated sizes,
// the length the fixed ones, their paddings and the gaps take, and the room of each stretch child.
struct AxisPlan {
  std::vector<Slot> slots;
  bool floats = false;  // a shown child floats
  LONG fixed_total = 0;
  int stretch = 0;
  LONG share = 0;
  LONG remainder = 0;
};

AxisPlan PlanAxis(const ChildList& items, SIZE avail, int child_padding,
                  bool horizontal) {
  AxisPlan plan;
  for (CControlUI* c : items) {
    if (!c->IsVisible())
      continue;
    if (c->IsFloat()) {
      plan.floats = true;
      continue;
    }
    const SIZE s = c->EstimateSize(avail);
    const RECT& p = c->GetPadding();
    const LONG length = horizontal ? s.cx : s.cy;
    if (length == 0) {
      ++plan.stretch;
    } else if (horizontal) {
      plan.fixed_total += ClampSize(length, c->GetMinWidth(), c->GetMaxWidth());
    } else {
      plan.fixed_total += ClampSize(length, c->GetMinHeight(), c->GetMaxHeight());
    }
    plan.fixed_total += horizontal ? p.left + p.right : p.top + p.bottom;
    plan.slots.push_back(Slot{c, s});
  }
  if (plan.slots.size() > 1)
    plan.fixed_total += child_padding * static_cast<LONG>(plan.slots.size() - 1);
  const LONG avail_length = horizontal ? avail.cx : avail.cy;
  if (plan.stretch > 0 && avail_length > plan.fixed_total) {
    plan.share = (avail_length - plan.fixed_total) / plan.stretch;
    plan.remainder = (avail_length - plan.fixed_total) % plan.stretch;
  }
  return plan;
}

}  // namespace

CContainerUI::~CContainerUI() {
  for (CControlUI* c : items_)
    delete c;
}

const char* CContainerUI::GetClass() const {
  return "ContainerUI";
}

void* CContainerUI::GetInterface(const char* name) {
  if (strcasecmp(name, "Container") == 0)
    return this;
  return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  const int index = items_.IndexOf(control, find_hint_);
  if (index >= 0)
    find_hint_ = static_cast<size_t>(index);
  return index;
}

bool CContainerUI::Add(CControlUI* control) {
  return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (control == nullptr)
    return false;
  index = std::clamp(index, 0, GetCount());
  items_.insert(static_cast<size_t>(index), control);
  placed_valid_ = false;
  control->SetManager(manager_, this);
  control->SetInternVisible(IsVisible());
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control, bool do_not_destroy) {
  return RemoveAt(GetItemIndex(control), do_not_destroy);
}

bool CContainerUI::RemoveAt(int index, bool do_not_destroy) {
  CControlUI* c = GetItemAt(index);
  if (c == nullptr)
    return false;
  items_.erase(static_cast<size_t>(index));
  placed_valid_ = false;
  if (do_not_destroy) {
    c->SetManager(nullptr, nullptr);
  } else {
    delete c;
  }
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  const std::vector<CControlUI*> old = items_.TakeAll();
  placed_valid_ = false;
  for (CControlUI* c : old)
    delete c;
  scroll_pos_ = 0;
  NeedUpdate();
}

void CContainerUI::SetInset(const RECT& inset) {
  inset_ = inset;
  NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
  child_padding_ = padding;
  NeedUpdate();
}

void CContainerUI::SetScrollPos(int pos) {
  pos = std::clamp(pos, 0, std::max(0, scroll_range_));
  if (pos == scroll_pos_)
    return;
  const int old = scroll_pos_;
  scroll_pos_ = pos;
  ScrollChildren(old);
}

void CContainerUI::ScrollChildren(int) {
  SetPos(rect_);
}

bool CContainerUI::PlacedCurrent() const {
  return placed_valid_ && manager_ != nullptr && manager_ == placed_manager_ &&
         manager_->LayoutSerial() == placed_serial_ && rect_ == placed_rect_;
}

bool CContainerUI::PlacedOver(LONG top, LONG bottom, size_t* first, size_t* last) const {
  if (has_floats_ || !placed_in_order_ || !PlacedCurrent())
    return false;
  // Tops and bottoms both go down the layout.
  const auto begin = std::partition_point(placed_.begin(), placed_.end(),
                                          [&](const Placed& p) { return p.rect.bottom <= top; });
  const auto end = std::partition_point(begin, placed_.end(),
                                        [&](const Placed& p) { return p.rect.top < bottom; });
  *first = static_cast<size_t>(begin - placed_.begin());
  *last = static_cast<size_t>(end - placed_.begin());
  return true;
}

RECT CContainerUI::InnerRect() const {
  return RECT{rect_.left + inset_.left, rect_.top + inset_.top, rect_.right - inset_.right,
              rect_.bottom - inset_.bottom};
}

void CContainerUI::PlaceFloats(const RECT& inner) {
  for (CControlUI* c : items_) {
    if (!c->IsVisible() || !c->IsFloat())
      continue;
    const POINT o = c->GetFloatOffset();
    const LONG x = inner.left + o.x;
    const LONG y = inner.top + o.y;
    c->SetPos(RECT{x, y, x + c->GetFixedWidth(), y + c->GetFixedHeight()});
  }
}

void CContainerUI::SetPos(const RECT& rect) {
  CControlUI::SetPos(rect);
  const RECT inner = InnerRect();
  for (CControlUI* c : items_) {
    if (!c->IsVisible() || c->IsFloat())
      continue;
    const RECT& p = c->GetPadding();
    c->SetPos(RECT{inner.left + p.left, inner.top + p.top, inner.right - p.right,
                   inner.bottom - p.bottom});
  }
  PlaceFloats(inner);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  placed_valid_ = false;
  CControlUI::SetManager(manager, parent);
  for (CControlUI* c : items_)
    c->SetManager(manager, this);
}

void CContainerUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  for (CControlUI* c : items_)
    c->SetInternVisible(IsVisible());
}

void CContainerUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  for (CControlUI* c : items_)
    c->SetInternVisible(IsVisible());
}

CControlUI* CContainerUI::HitTest(POINT pt) {
  if (!IsVisible() || !PointInRect(rect_, pt))
    return nullptr;
  if (mouse_child_enabled_) {
    size_t first = 0, last = 0;
    if (PlacedOver(pt.y, pt.y + 1, &first, &last)) {
      for (size_t i = last; i-- > first;) {
        if (CControlUI* hit = placed_[i].control->HitTest(pt))
          return hit;
      }
    } else {
      for (size_t i = items_.size(); i-- > 0;) {
        if (CControlUI* hit = items_[i]->HitTest(pt))
          return hit;
      }
    }
  }
  return mouse_enabled_ ? this : nullptr;
}

CControlUI* CContainerUI::FindByName(const char* name) {
  if (CControlUI* self = CControlUI::FindByName(name))
    return self;
  for (CControlUI* c : items_) {
    if (CControlUI* found = c->FindByName(name))
      return found;
  }
  return nullptr;
}

void CContainerUI::SetAttribute(const char* name, const char* value) {
  const std::string_view n(name);
  if (n == "inset") {
    SetInset(ParseRect(value));
  } else if (n == "childpadding") {
    SetChildPadding(ParseCoordinate(value));
  } else if (n == "vscrollbar") {
    EnableScroll(ParseBool(value));
  } else if (n == "mousechild") {
    SetMouseChildEnabled(ParseBool(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SCROLLWHEEL && scroll_enabled_ && scroll_range_ > 0) {
    SetScrollPos(scroll_pos_ + (event.wParam == 0 ? -kWheelStep : kWheelStep));
    Invalidate();
    return;
  }
  CControlUI::DoEvent(event);
}

void CContainerUI::DoPaint(RenderTarget& hdc, const RECT& paint) {
  const RECT area = IntersectRects(paint, rect_);
  if (RectEmpty(area))
    return;
  CControlUI::DoPaint(hdc, paint);
  hdc.PushClip(area);
  size_t first = 0, last = 0;
  if (PlacedOver(area.top, area.bottom, &first, &last)) {
    for (size_t i = first; i < last; ++i) {
      CControlUI* c = placed_[i].control;
      if (c->IsVisible() && !RectEmpty(IntersectRects(area, c->GetPos())))
        c->DoPaint(hdc, area);
    }
  } else {
    for (CControlUI* c : items_) {
      if (c->IsVisible() && !RectEmpty(IntersectRects(area, c->GetPos())))
        c->DoPaint(hdc, area);
    }
  }
  if (scroll_enabled_ && scroll_range_ > 0) {
    const RECT inner = InnerRect();
    const LONG h = inner.bottom - inner.top;
    const LONG bar = std::max<LONG>(20, h * h / (h + scroll_range_));
    const LONG top = inner.top + (h - bar) * scroll_pos_ / scroll_range_;
    hdc.FillRect(RECT{inner.right - kScrollBarWidth, top, inner.right, top + bar}, 0x80808080);
  }
  hdc.PopClip();
}

const char* CVerticalLayoutUI::GetClass() const {
  return "VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const char* name) {
  if (strcasecmp(name, "VerticalLayout") == 0)
    return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(const RECT& rect) {
  // Taken first: a change while the children are placed makes the places stale.
  const uint64_t serial = manager_ != nullptr ? manager_->LayoutSerial() : 0;
  CControlUI::SetPos(rect);
  RECT inner = InnerRect();
  const LONG avail_w = inner.right - inner.left;
  const LONG avail_h = inner.bottom - inner.top;
  // A scrolling layout gives stretch children no extra room: its content is what it is.
  const AxisPlan plan = PlanAxis(items_, SIZE{avail_w, avail_h}, child_padding_, false);
  const std::vector<Slot>& slots = plan.slots;
  const int stretch = plan.stretch;
  const LONG share = plan.share;
  const LONG remainder = plan.remainder;
  const LONG content = plan.fixed_total + share * stretch + remainder;
  scroll_range_ = scroll_enabled_ ? std::max<LONG>(0, content - avail_h) : 0;
  scroll_pos_ = std::clamp(scroll_pos_, 0, scroll_range_);
  LONG y = inner.top - scroll_pos_;
  int stretch_seen = 0;
  placed_.clear();
  placed_.reserve(slots.size());
  placed_in_order_ = true;
  for (const Slot& slot : slots) {
    CControlUI* c = slot.control;
    const RECT& p = c->GetPadding();
    LONG h;
    if (slot.size.cy == 0) {
      h = share + (++stretch_seen == stretch ? remainder : 0);
      h = ClampSize(h, c->GetMinHeight(), c->GetMaxHeight());
    } else {
      h = ClampSize(slot.size.cy, c->GetMinHeight(), c->GetMaxHeight());
    }
    LONG w = slot.size.cx == 0 ? avail_w - p.left - p.right : slot.size.cx;
    w = ClampSize(w, c->GetMinWidth(), c->GetMaxWidth());
    y += p.top;
    const RECT place{inner.left + p.left, y, inner.left + p.left + w, y + h};
    if (!placed_.empty() && (place.top < placed_.back().rect.top ||
                             place.bottom < placed_.back().rect.bottom)) {
      placed_in_order_ = false;
    }
    placed_.push_back(Placed{c, place});
    c->SetPos(place);
    y += h + p.bottom + child_padding_;
  }
  PlaceFloats(inner);
  has_floats_ = plan.floats;
  placed_manager_ = manager_;
  placed_serial_ = serial;
  placed_rect_ = rect_;
  placed_valid_ = manager_ != nullptr;
}

void CVerticalLayoutUI::ScrollChildren(int old_pos) {
  if (!PlacedCurrent()) {
    SetPos(rect_);
    return;
  }
  CControlUI::SetPos(rect_);
  const LONG dy = old_pos - scroll_pos_;
  for (Placed& p : placed_) {
    const RECT was = p.rect;
    p.rect.top += dy;
    p.rect.bottom += dy;
    if (!RectEmpty(IntersectRects(was, rect_)) || !RectEmpty(IntersectRects(p.rect, rect_))) {
      p.control->SetPos(p.rect);
    } else {
      p.control->rect_ = p.rect;
    }
  }
  // Floating children do not scroll: their places stand.
}

const char* CHorizontalLayoutUI::GetClass() const {
  return "HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(const char* name) {
  if (strcasecmp(name, "HorizontalLayout") == 0)
    return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(const RECT& rect) {
  CControlUI::SetPos(rect);
  const RECT inner = InnerRect();
  const LONG avail_w = inner.right - inner.left;
  const LONG avail_h = inner.bottom - inner.top;
  const AxisPlan plan = PlanAxis(items_, SIZE{avail_w, avail_h}, child_padding_, true);
  const std::vector<Slot>& slots = plan.slots;
  const int stretch = plan.stretch;
  const LONG share = plan.share;
  const LONG remainder = plan.remainder;
  LONG x = inner.left;
  int stretch_seen = 0;
  for (const Slot& slot : slots) {
    CControlUI* c = slot.control;
    const RECT& p = c->GetPadding();
    LONG w;
    if (slot.size.cx == 0) {
      w = share + (++stretch_seen == stretch ? remainder : 0);
    } else {
      w = slot.size.cx;
    }
    w = ClampSize(w, c->GetMinWidth(), c->GetMaxWidth());
    LONG h = slot.size.cy == 0 ? avail_h - p.top - p.bottom : slot.size.cy;
    h = ClampSize(h, c->GetMinHeight(), c->GetMaxHeight());
    x += p.left;
    c->SetPos(RECT{x, inner.top + p.top, x + w, inner.top + p.top + h});
    x += w + p.right + child_padding_;
  }
  PlaceFloats(inner);
}

}  // namespace skinui
