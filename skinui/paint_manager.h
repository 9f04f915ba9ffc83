// One window's control tree and everything shared by its controls: the names, the keyboard focus,
// the mouse (hot control, captured control), fonts, images, option groups and the notifiers that
// receive notifications. It turns window messages into control events and paints the tree.
//
// A notification goes first to the sender's OnNotify handlers (a list element's notifications also
// to its list's), then, unless one of them took it, to each notifier (the window).
//
// What a user expects of a window beyond its controls:
// - A press in the caption area (the skin Window's "caption" attribute) on a control that only
//   shows moves the window with the mouse until the button is let go.
// - Enter presses the default button (the skin Window's "defaultbutton" attribute names it, or
//   SetDefaultButton) unless the focused control takes Enter itself.
// - Input-method text (text_input.h) goes to the focused control: committed text whole, the
//   composition as it stands.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"
#include "skinui/backend.h"
#include "skinui/ui_defs.h"

namespace skinui {

class CControlUI;
class CWindowWnd;

// A control that draws above the tree while it is open (the drop list of a combo box).
class IOverlayUI {
 public:
  virtual ~IOverlayUI() = default;
  virtual RECT OverlayRect() = 0;
  virtual CControlUI* OverlayHitTest(POINT pt) = 0;
  virtual void PaintOverlay(RenderTarget& hdc) = 0;
  // Closes it without a choice.
  virtual void CloseOverlay() = 0;
};

class CPaintManagerUI {
 public:
  // --- Process-wide.
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // Runs the calling thread's message loop until WM_QUIT.
  static void MessageLoop();
  // Ends the library's process-wide state after the loop (cached images are dropped).
  static void Term();
  // Folder that skins and images are read from when a window names none ("<program>/").
  static void SetResourcePath(const std::string& folder);
  static const std::string& GetResourcePath();

  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  void Init(CWindowWnd* window);
  CWindowWnd* GetWindow() const { return window_; }
  HWND GetPaintWindow() const;

  // Takes ownership of `root` as the window's tree (replacing any earlier one).
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return root_.get(); }

  // The first control of the window named `name`, null when the skin has none.
  CControlUI* FindControl(const char* name) const;
  // The control under a client point.
  CControlUI* FindControl(POINT pt) const;
  // The control named `name` in `parent`'s subtree.
  CControlUI* FindSubControlByName(CControlUI* parent, const char* name) const;

  void AddNotifier(INotifyUI* notifier);
  void RemoveNotifier(INotifyUI* notifier);
  void SendNotify(CControlUI* sender, const char* type, WPARAM wParam = 0, LPARAM lParam = 0);

  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  // Moves the focus to the next control that takes it (the previous one when `forward` is
  // false), in the order of the skin, wrapping around; Tab and Shift+Tab do this. Only visible,
  // enabled controls count. False when no control takes the focus.
  bool SetNextTabControl(bool forward = true);
  CControlUI* GetHot() const { return hot_; }

  // The caption area: `left` and `right` are insets from the window's sides, `top` and `bottom`
  // distances from its top ("0,0,0,32": a 32-pixel band across the whole window). Empty: none.
  void SetCaptionRect(const RECT& rect) { caption_ = rect; }
  const RECT& GetCaptionRect() const { return caption_; }
  // Whether a press at client point `pt` would move the window.
  bool IsCaptionPoint(POINT pt) const;
  bool IsDragging() const { return dragging_; }

  // The button Enter presses, by name; empty: none.
  void SetDefaultButton(const std::string& name) { default_button_ = name; }
  const std::string& GetDefaultButtonName() const { return default_button_; }
  // That button when the window has it, shown and enabled; else null.
  CControlUI* GetDefaultButton() const;

  // Window messages that concern the tree; true when handled (result in `result`).
  bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Lays out (when needed) and paints the tree now.
  void Paint();
  void NeedUpdate();
  void Invalidate();
  // Grows at every NeedUpdate: a layout made at one serial still holds while it is the same.
  uint64_t LayoutSerial() const { return layout_serial_; }
  bool IsWindowInitSent() const { return init_sent_; }

  // --- Skin resources.
  void SetResourceFolder(const std::string& folder) { resource_folder_ = folder; }
  const std::string& GetResourceFolder() const;
  void SetInitSize(int cx, int cy) { init_size_ = SIZE{cx, cy}; }
  SIZE GetInitSize() const { return init_size_; }
  void AddFont(int id, const FontSpec& font, bool is_default);
  // The font of `id`; the default font for -1 or an unknown id.
  const FontSpec& GetFont(int id) const;
  void SetDefaultAttributeList(const std::string& control_class, const std::string& list);
  const std::string* GetDefaultAttributeList(const std::string& control_class) const;
  // The image of a skin file name (relative to the resource folder, '\' or '/'), decoded once;
  // null when it is missing, cannot be decoded, is not a regular file of at most kMaxImageBytes,
  // or the name leaves the folder (absolute, or an empty, "." or ".." part).
  Image* GetImage(const std::string& name);
  // Adds a decoded image under `name` from PNG or BMP bytes. False when they do not decode.
  bool AddImage(const std::string& name, const std::string& bytes);
  SIZE MeasureText(const std::string& text, int font) const;

  // --- Option groups (COptionUI).
  void AddOptionGroup(const std::string& group, CControlUI* option);
  void RemoveOptionGroup(const std::string& group, CControlUI* option);
  const std::vector<CControlUI*>* GetOptionGroup(const std::string& group) const;

  void SetOverlay(IOverlayUI* overlay);
  IOverlayUI* GetOverlay() const { return overlay_; }

  // Used by CControlUI: keeps the name table and the pointers to controls current.
  void RegisterName(CControlUI* control);
  void UnregisterName(CControlUI* control, const std::string& name);
  void ReapControl(CControlUI* control);

 private:
  void SendEvent(CControlUI* control, TEventUI& event);
  // Moves the window with the mouse (caption drag).
  void BeginDrag(POINT pt);
  void DragTo(POINT pt);
  void EndDrag();
  POINT CursorOnScreen(POINT client) const;
  // Committed text or the composition (posted through text_input.h) for the focused control.
  void DeliverText(UINT message, WPARAM number, LPARAM lParam);
  bool OnReturn();
  void LayoutIfNeeded();
  CControlUI* HitTest(POINT pt) const;
  void UpdateHot(CControlUI* now, POINT pt);

  CWindowWnd* window_ = nullptr;
  std::unique_ptr<CControlUI> root_;
  // Name -> the controls of that name by the order they were registered in (FindControl gives
  // the first). A control keeps its key, so a list of thousands of rows whose controls share
  // names registers and removes each in logarithmic time.
  std::unordered_map<std::string, std::map<uint64_t, CControlUI*>> names_;
  uint64_t last_name_key_ = 0;
  std::vector<INotifyUI*> notifiers_;
  CControlUI* focus_ = nullptr;
  CControlUI* hot_ = nullptr;
  CControlUI* captured_ = nullptr;
  IOverlayUI* overlay_ = nullptr;
  bool need_update_ = true;
  uint64_t layout_serial_ = 0;
  bool init_sent_ = false;
  std::string resource_folder_;
  SIZE init_size_;
  std::map<int, FontSpec> fonts_;
  FontSpec default_font_;
  std::map<std::string, std::string> default_attributes_;
  std::map<std::string, std::shared_ptr<Image>> images_;
  std::map<std::string, std::vector<CControlUI*>> option_groups_;
  RECT caption_;
  std::string default_button_;
  bool dragging_ = false;
  POINT drag_cursor_;  // screen point of the press
  POINT drag_origin_;  // the window's top-left corner then
};

}  // namespace skinui
