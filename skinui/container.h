// Containers own their children. CContainerUI stacks every child over its whole inner area;
// the vertical and horizontal layouts place them one after another: fixed sizes first, the space
// left shared evenly by the children without a fixed size. Floating children sit at their offset.
// A vertical layout with "vscrollbar" scrolls its children with the mouse wheel.
//
// A list of thousands of rows must scroll, paint and hit-test in the time of the rows on show.
// A vertical layout therefore remembers where its last layout put its children; while nothing
// has asked for a layout since (the window's layout serial is the same), a scroll moves every
// child's place and lays out again only the children it moves into or out of view (the others'
// insides are laid out again when they come into view or at the next layout), and painting and
// hit-testing look only at the children over the area.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "skinui/child_list.h"
#include "skinui/control.h"

namespace skinui {

class CContainerUI : public CControlUI {
 public:
  CContainerUI() = default;
  ~CContainerUI() override;

  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  int GetCount() const { return static_cast<int>(items_.size()); }
  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(CControlUI* control) const;
  // Takes ownership. False for null.
  virtual bool Add(CControlUI* control);
  virtual bool AddAt(CControlUI* control, int index);
  // Removes and deletes `control` (only detaches it with `do_not_destroy`). False when it is not
  // a child.
  virtual bool Remove(CControlUI* control, bool do_not_destroy = false);
  virtual bool RemoveAt(int index, bool do_not_destroy = false);
  virtual void RemoveAll();

  const RECT& GetInset() const { return inset_; }
  void SetInset(const RECT& inset);
  int GetChildPadding() const { return child_padding_; }
  void SetChildPadding(int padding);
  void SetMouseChildEnabled(bool enabled) { mouse_child_enabled_ = enabled; }

  // --- Scrolling (vertical layouts with "vscrollbar").
  bool IsScrollEnabled() const { return scroll_enabled_; }
  void EnableScroll(bool enable) { scroll_enabled_ = enable; }
  int GetScrollPos() const { return scroll_pos_; }
  int GetScrollRange() const { return scroll_range_; }
  void SetScrollPos(int pos);

  void SetPos(const RECT& rect) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
  void SetInternVisible(bool visible) override;
  void SetVisible(bool visible) override;
  CControlUI* HitTest(POINT pt) override;
  CControlUI* FindByName(const char* name) override;
  void SetAttribute(const char* name, const char* value) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(RenderTarget& hdc, const RECT& paint) override;

 protected:
  // Where a layout put a child.
  struct Placed {
    CControlUI* control;
    RECT rect;
  };
  // Lays the children out again after the scroll position moved from `old_pos`.
  virtual void ScrollChildren(int old_pos);
  // The children [first, last) of `placed_` over the band [top, bottom); false when the kept
  // places cannot tell (then every child is to be looked at).
  bool PlacedOver(LONG top, LONG bottom, size_t* first, size_t* last) const;
  // Whether `placed_` still holds where every shown child is.
  bool PlacedCurrent() const;

  RECT InnerRect() const;
  // Places the floating children of the container.
  void PlaceFloats(const RECT& inner);

  ChildList items_;  // owned
  // Where the last child was found: rows are looked up near the one before.
  mutable size_t find_hint_ = 0;
  RECT inset_;
  int child_padding_ = 0;
  bool mouse_child_enabled_ = true;
  bool scroll_enabled_ = false;
  int scroll_pos_ = 0;
  int scroll_range_ = 0;
  // The places of the shown, non-floating children at the last layout, in child order, when
  // `placed_valid_`; kept by vertical layouts only.
  std::vector<Placed> placed_;
  bool placed_valid_ = false;
  // Whether the places go down the layout (a negative padding can make them overlap back).
  bool placed_in_order_ = false;
  // The window's layout serial and this layout's place when `placed_` was made.
  const CPaintManagerUI* placed_manager_ = nullptr;
  uint64_t placed_serial_ = 0;
  RECT placed_rect_;
  // Whether the layout has floating children (they do not scroll).
  bool has_floats_ = false;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;
  void SetPos(const RECT& rect) override;

 protected:
  void ScrollChildren(int old_pos) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;
  void SetPos(const RECT& rect) override;
};

}  // namespace skinui
