// Lists of rows. CListUI is a scrolling vertical layout of CListContainerElementUI rows with one
// selected row: pressing a row selects it ("itemselect" from the list, wParam the new index,
// lParam the old one) and releasing over it sends "itemclick" from the row. CComboUI is the drop
// list: it shows the selected row's text and, when clicked, opens its rows below itself; choosing
// one selects it ("itemselect" from the combo) and closes the list.
#pragma once

#include "skinui/container.h"
#include "skinui/paint_manager.h"

namespace skinui {

class CListContainerElementUI;

// What a row needs from the list or combo that holds it.
class IListOwnerUI {
 public:
  virtual ~IListOwnerUI() = default;
  // Selects row `index` (-1: none); false when there is no such row. `trigger_event` sends
  // "itemselect" when the selection changed.
  virtual bool SelectItem(int index, bool take_focus = false, bool trigger_event = true) = 0;
  virtual int GetCurSel() const = 0;
  virtual int GetRowIndex(CControlUI* row) const = 0;
  virtual CControlUI* GetOwnerControl() = 0;
  virtual DWORD GetSelectedItemBkColor() const = 0;
  virtual DWORD GetHotItemBkColor() const = 0;
};

// Keeps the selection index in step as rows come and go; shared by the list and the combo.
class ListSelection {
 public:
  int cur() const { return cur_; }
  void set(int index) { cur_ = index; }
  void Inserted(int index) {
    if (cur_ >= index)
      ++cur_;
  }
  void Removed(int index) {
    if (cur_ == index) {
      cur_ = -1;
    } else if (cur_ > index) {
      --cur_;
    }
  }

 private:
  int cur_ = -1;
};

class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
 public:
  CListUI();
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index, bool do_not_destroy = false) override;
  void RemoveAll() override;

  bool SelectItem(int index, bool take_focus = false, bool trigger_event = true) override;
  int GetCurSel() const override { return selection_.cur(); }
  int GetRowIndex(CControlUI* row) const override { return GetItemIndex(row); }
  CControlUI* GetOwnerControl() override { return this; }
  DWORD GetSelectedItemBkColor() const override { return selected_bk_; }
  DWORD GetHotItemBkColor() const override { return hot_bk_; }
  // Scrolls so that row `index` is fully shown.
  void EnsureVisible(int index);

  void DoEvent(TEventUI& event) override;
  bool DragsWindow() const override { return false; }
  void SetAttribute(const char* name, const char* value) override;

 private:
  ListSelection selection_;
  DWORD selected_bk_ = 0xFFC1E3FF;
  DWORD hot_bk_ = 0xFFE9F5FF;
};

class CListContainerElementUI : public CHorizontalLayoutUI {
 public:
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  IListOwnerUI* GetOwner() const { return owner_; }
  void SetOwner(IListOwnerUI* owner) { owner_ = owner; }
  int GetIndex() const {
    return owner_ != nullptr ? owner_->GetRowIndex(const_cast<CListContainerElementUI*>(this)) : -1;
  }
  bool IsSelected() const { return selected_; }
  // Selects this row through its owner.
  bool Select(bool select = true);
  // Called by the owner; changes only the look.
  void SetSelectedState(bool selected);

  bool Activate() override;
  void DoEvent(TEventUI& event) override;
  bool DragsWindow() const override { return false; }

 protected:
  void PaintBkColor(RenderTarget& hdc) override;

 private:
  IListOwnerUI* owner_ = nullptr;
  bool selected_ = false;
  bool hot_ = false;
  bool pressed_ = false;
};

class CComboUI : public CContainerUI, public IListOwnerUI, public IOverlayUI {
 public:
  CComboUI();
  ~CComboUI() override;
  const char* GetClass() const override;
  void* GetInterface(const char* name) override;

  // The selected row's text (empty without a selection).
  CDuiString GetText() const override;
  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index, bool do_not_destroy = false) override;
  void RemoveAll() override;

  bool SelectItem(int index, bool take_focus = false, bool trigger_event = true) override;
  int GetCurSel() const override { return selection_.cur(); }
  int GetRowIndex(CControlUI* row) const override { return GetItemIndex(row); }
  CControlUI* GetOwnerControl() override { return this; }
  DWORD GetSelectedItemBkColor() const override { return selected_bk_; }
  DWORD GetHotItemBkColor() const override { return hot_bk_; }

  bool IsDropped() const { return dropped_; }
  // Opens or closes the drop list.
  void SetDropped(bool dropped);

  // IOverlayUI
  RECT OverlayRect() override;
  CControlUI* OverlayHitTest(POINT pt) override;
  void PaintOverlay(RenderTarget& hdc) override;
  void CloseOverlay() override { SetDropped(false); }

  void SetPos(const RECT& rect) override;
  CControlUI* HitTest(POINT pt) override;
  bool Activate() override;
  void DoEvent(TEventUI& event) override;
  bool DragsWindow() const override { return false; }
  void DoPaint(RenderTarget& hdc, const RECT& paint) override;
  void SetAttribute(const char* name, const char* value) override;

 private:
  void LayoutDrop();

  ListSelection selection_;
  bool dropped_ = false;
  bool pressed_ = false;
  int drop_height_ = 150;
  int font_ = -1;
  DWORD text_colour_ = 0xFF000000;
  RECT text_padding_{4, 0, 4, 0};
  DWORD selected_bk_ = 0xFFC1E3FF;
  DWORD hot_bk_ = 0xFFE9F5FF;
  std::string normal_image_;
};

}  // namespace skinui
