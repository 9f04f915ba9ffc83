// The base of every control: name, text, geometry, colours and images, visibility and enabled
// state, and the event sources that handlers subscribe to.
//
// Geometry: a fixed width or height of 0 means "take what the parent layout gives". `padding` is
// the space a layout keeps around the control; a floating control is placed at its `pos` offset
// inside its parent instead of being laid out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "skinui/backend.h"
#include "skinui/event_source.h"
#include "skinui/ui_defs.h"

namespace skinui {

class CPaintManagerUI;

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // Class name as skins write it with "UI" appended ("ButtonUI").
  virtual const char* GetClass() const;
  // This control when it is of the kind `name` ("Button", "List" ...), else null.
  virtual void* GetInterface(const char* name);

  const CDuiString& GetName() const { return name_; }
  void SetName(const char* name);
  virtual CDuiString GetText() const { return text_; }
  virtual void SetText(const char* text);
  const CDuiString& GetUserData() const { return user_data_; }
  void SetUserData(const char* data) { user_data_ = data != nullptr ? data : ""; }
  UINT_PTR GetTag() const { return tag_; }
  void SetTag(UINT_PTR tag) { tag_ = tag; }
  const CDuiString& GetToolTip() const { return tooltip_; }

  // Visible when it and every parent are visible.
  virtual bool IsVisible() const { return visible_ && intern_visible_; }
  virtual void SetVisible(bool visible = true);
  // Called by containers as their own visibility changes.
  virtual void SetInternVisible(bool visible = true);
  virtual bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled = true);
  bool IsMouseEnabled() const { return mouse_enabled_; }
  void SetMouseEnabled(bool enabled) { mouse_enabled_ = enabled; }
  bool IsFocused() const { return focused_; }
  // Takes the keyboard focus within its window.
  virtual void SetFocus();
  // Whether the control takes focus on a click (edits, buttons).
  virtual bool WantsFocus() const { return false; }
  // Whether a press on it inside the window's caption area moves the window: true for what only
  // shows (labels, images, layouts), false for what takes clicks itself (buttons, edits, lists).
  virtual bool DragsWindow() const { return true; }
  // Whether Enter goes to it while it has the focus (a button presses itself, an editable text
  // of several lines starts a new line) instead of pressing the window's default button.
  virtual bool TakesReturn() const { return false; }

  // --- Geometry.
  const RECT& GetPos() const { return rect_; }
  // Places the control (layouts call it); containers lay out their children here.
  virtual void SetPos(const RECT& rect);
  int GetFixedWidth() const { return fixed_.cx; }
  int GetFixedHeight() const { return fixed_.cy; }
  void SetFixedWidth(int cx);
  void SetFixedHeight(int cy);
  int GetMinWidth() const { return min_.cx; }
  int GetMinHeight() const { return min_.cy; }
  int GetMaxWidth() const { return max_.cx; }
  int GetMaxHeight() const { return max_.cy; }
  const RECT& GetPadding() const { return padding_; }
  void SetPadding(const RECT& padding);
  bool IsFloat() const { return float_; }
  void SetFloat(bool f = true);
  // Offset inside the parent for a floating control.
  const POINT& GetFloatOffset() const { return float_offset_; }
  // The size the control asks its layout for (0 = stretch).
  virtual SIZE EstimateSize(SIZE available);

  // --- Look.
  DWORD GetBkColor() const { return bk_colour_; }
  void SetBkColor(DWORD argb);
  const CDuiString& GetBkImage() const { return bk_image_; }
  void SetBkImage(const char* image);
  void SetBorderColor(DWORD argb);
  void SetBorderSize(int size);

  // --- Tree.
  CPaintManagerUI* GetManager() const { return manager_; }
  CControlUI* GetParent() const { return parent_; }
  // Attaches the control (and a container's children) to a window's manager.
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
  // The deepest visible control under `pt` that takes mouse input (containers look at their
  // children, the topmost first), null when `pt` is outside.
  virtual CControlUI* HitTest(POINT pt);
  // This control or a descendant named `name`.
  virtual CControlUI* FindByName(const char* name);

  // --- Behaviour.
  virtual void SetAttribute(const char* name, const char* value);
  // Reads a list of name="value" pairs (a skin's default attributes).
  void ApplyAttributeList(const char* list);
  // Handles a control event. The base passes mouse events it does not use to the parent, so a
  // click on a label inside a row reaches the row.
  virtual void DoEvent(TEventUI& event);
  // The default action of the control (a click on a button).
  virtual bool Activate();
  virtual void DoPaint(RenderTarget& hdc, const RECT& paint);
  // Marks the window for layout and repaint.
  void NeedUpdate();
  void NeedParentUpdate();
  void Invalidate();

  // Handlers of this control's notifications (TNotifyUI*) and events (TEventUI*).
  CEventSource OnNotify;
  CEventSource OnEvent;

  // Expires when the control is destroyed, so code that called out to handlers can tell whether
  // the control survived them (a handler may run a modal loop in which its row is rebuilt).
  std::weak_ptr<const int> Life() const { return life_; }

 protected:
  virtual void PaintBkColor(RenderTarget& hdc);
  virtual void PaintBkImage(RenderTarget& hdc);
  virtual void PaintStatusImage(RenderTarget& hdc);
  virtual void PaintText(RenderTarget& hdc);
  virtual void PaintBorder(RenderTarget& hdc);
  // Draws an image attribute over `rect` (its dest= part relative to it). False when the image
  // cannot be loaded.
  bool DrawImage(RenderTarget& hdc, const std::string& spec, const RECT& rect,
                 const RECT* source = nullptr);

  CPaintManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  CDuiString name_;
  CDuiString text_;
  CDuiString tooltip_;
  CDuiString user_data_;
  UINT_PTR tag_ = 0;
  bool visible_ = true;
  bool intern_visible_ = true;
  bool enabled_ = true;
  bool mouse_enabled_ = true;
  bool focused_ = false;
  bool float_ = false;
  POINT float_offset_;
  RECT rect_;
  SIZE fixed_;
  SIZE min_;
  SIZE max_{9999, 9999};
  RECT padding_;
  DWORD bk_colour_ = 0;
  DWORD border_colour_ = 0;
  int border_size_ = 0;
  CDuiString bk_image_;
  std::shared_ptr<const int> life_ = std::make_shared<const int>(0);
  uint64_t name_key_ = 0;  // its key in the manager's name table, 0 while not registered

  friend class CPaintManagerUI;
  friend class CVerticalLayoutUI;  // moves a scrolled-away child without laying it out
};

}  // namespace skinui
