#include "skinui/paint_manager.h"

#include <algorithm>
#include <string_view>

#include "platform/file_util.h"
#include "skinui/container.h"
#include "skinui/control.h"
#include "skinui/image_header.h"
#include "skinui/message_queue.h"
#include "skinui/text_input.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

HINSTANCE g_instance = nullptr;

std::string& ResourcePath() {
  static std::string* path = new std::string;
  return *path;
}

// Default font of a window whose skin names none.
constexpr int kDefaultFontSize = 12;

// The file of an image a skin names: a path below `folder` with '\' or '/' between its parts (the
// skins were drawn on a system that writes '\'). Skins arrive with updates, so a name that would
// leave the folder (absolute, or with an empty, "." or ".." part) names no file.
bool SkinImagePath(const std::string& folder, const std::string& name, std::string* path) {
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  size_t start = 0;
  for (;;) {
    const size_t slash = relative.find('/', start);
    const std::string_view part = std::string_view(relative).substr(
        start, slash == std::string::npos ? slash : slash - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    if (slash == std::string::npos)
      break;
    start = slash + 1;
  }
  *path = platform::JoinPath(folder, relative);
  return true;
}

}  // namespace

void CPaintManagerUI::SetInstance(HINSTANCE instance) {
  g_instance = instance;
}
HINSTANCE CPaintManagerUI::GetInstance() {
  return g_instance;
}
void CPaintManagerUI::MessageLoop() {
  RunMessageLoop();
}
void CPaintManagerUI::Term() {}
void CPaintManagerUI::SetResourcePath(const std::string& folder) {
  ResourcePath() = folder;
}
const std::string& CPaintManagerUI::GetResourcePath() {
  return ResourcePath();
}

CPaintManagerUI::CPaintManagerUI() {
  default_font_.size = kDefaultFontSize;
}

CPaintManagerUI::~CPaintManagerUI() {
  // Controls being destroyed call back into ReapControl; the tree goes first.
  overlay_ = nullptr;
  root_.reset();
}

void CPaintManagerUI::Init(CWindowWnd* window) {
  window_ = window;
}

HWND CPaintManagerUI::GetPaintWindow() const {
  return window_ != nullptr ? window_->GetHWND() : nullptr;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (root == nullptr)
    return false;
  overlay_ = nullptr;
  focus_ = hot_ = captured_ = nullptr;
  dragging_ = false;
  root_.reset(root);
  root_->SetManager(this, nullptr);
  init_sent_ = false;
  NeedUpdate();
  return true;
}

CControlUI* CPaintManagerUI::FindControl(const char* name) const {
  if (name == nullptr)
    return nullptr;
  const auto it = names_.find(name);
  return it == names_.end() || it->second.empty() ? nullptr : it->second.begin()->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  return HitTest(pt);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const char* name) const {
  return parent != nullptr ? parent->FindByName(name) : nullptr;
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
  if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
    notifiers_.push_back(notifier);
  }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
  std::erase(notifiers_, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const char* type, WPARAM wParam,
                                 LPARAM lParam) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = sender;
  msg.dwTimestamp = UiClock().TickCount();
  msg.wParam = wParam;
  msg.lParam = lParam;
  if (sender != nullptr) {
    const std::weak_ptr<const int> life = sender->Life();
    CControlUI* list = nullptr;
    if (sender->GetInterface("ListContainerElement") != nullptr) {
      CControlUI* parent = sender->GetParent();
      if (parent != nullptr && parent->GetInterface("IListOwner") != nullptr)
        list = parent;
    }
    const std::weak_ptr<const int> list_life =
        list != nullptr ? list->Life() : std::weak_ptr<const int>();
    bool go_on = sender->OnNotify(&msg);
    // A sender that a handler destroyed is not handed on: nobody may read it any more.
    if (life.expired())
      return;
    // A row's notifications are also its list's.
    if (list != nullptr && !list_life.expired() && !list->OnNotify(&msg))
      go_on = false;
    if (!go_on || life.expired())
      return;
  }
  const std::vector<INotifyUI*> targets = notifiers_;
  for (INotifyUI* n : targets)
    n->Notify(msg);
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == focus_)
    return;
  if (control != nullptr && (control->GetManager() != this || !control->IsVisible()))
    return;
  CControlUI* old = focus_;
  focus_ = control;
  if (old != nullptr) {
    old->focused_ = false;
    TEventUI e;
    e.Type = UIEVENT_KILLFOCUS;
    e.pSender = old;
    SendEvent(old, e);
  }
  if (focus_ != nullptr) {
    focus_->focused_ = true;
    TEventUI e;
    e.Type = UIEVENT_SETFOCUS;
    e.pSender = focus_;
    SendEvent(focus_, e);
  }
  Invalidate();
}

void CPaintManagerUI::SendEvent(CControlUI* control, TEventUI& event) {
  event.dwTimestamp = UiClock().TickCount();
  const std::weak_ptr<const int> life = control->Life();
  if (!control->OnEvent(&event) || life.expired())
    return;
  control->DoEvent(event);
}

namespace {
// Controls that take the focus under `c`, in skin order; a hidden or disabled container hides
// its children too.
void CollectTabStops(CControlUI* c, std::vector<CControlUI*>& out) {
  if (c == nullptr || !c->IsVisible() || !c->IsEnabled())
    return;
  if (c->WantsFocus())
    out.push_back(c);
  if (auto* box = static_cast<CContainerUI*>(c->GetInterface("Container"))) {
    for (int i = 0; i < box->GetCount(); ++i)
      CollectTabStops(box->GetItemAt(i), out);
  }
}
}  // namespace

bool CPaintManagerUI::SetNextTabControl(bool forward) {
  std::vector<CControlUI*> stops;
  CollectTabStops(root_.get(), stops);
  if (stops.empty())
    return false;
  const auto at = std::find(stops.begin(), stops.end(), focus_);
  size_t next;
  if (at == stops.end()) {
    next = forward ? 0 : stops.size() - 1;
  } else {
    const size_t i = static_cast<size_t>(at - stops.begin());
    next = forward ? (i + 1) % stops.size() : (i + stops.size() - 1) % stops.size();
  }
  SetFocus(stops[next]);
  return true;
}

CControlUI* CPaintManagerUI::HitTest(POINT pt) const {
  if (overlay_ != nullptr) {
    if (PointInRect(overlay_->OverlayRect(), pt))
      return overlay_->OverlayHitTest(pt);
  }
  return root_ ? root_->HitTest(pt) : nullptr;
}

void CPaintManagerUI::UpdateHot(CControlUI* now, POINT pt) {
  if (now == hot_)
    return;
  CControlUI* old = hot_;
  hot_ = now;
  if (old != nullptr) {
    TEventUI e;
    e.Type = UIEVENT_MOUSELEAVE;
    e.pSender = old;
    e.ptMouse = pt;
    SendEvent(old, e);
  }
  if (hot_ != nullptr) {
    TEventUI e;
    e.Type = UIEVENT_MOUSEENTER;
    e.pSender = hot_;
    e.ptMouse = pt;
    SendEvent(hot_, e);
  }
}

bool CPaintManagerUI::IsCaptionPoint(POINT pt) const {
  if (window_ == nullptr || RectEmpty(RECT{0, caption_.top, 1, caption_.bottom}))
    return false;
  const SIZE size = window_->GetClientSize();
  if (!PointInRect(RECT{caption_.left, caption_.top, size.cx - caption_.right, caption_.bottom},
                   pt))
    return false;
  if (overlay_ != nullptr && PointInRect(overlay_->OverlayRect(), pt))
    return false;
  for (CControlUI* c = HitTest(pt); c != nullptr; c = c->GetParent()) {
    if (!c->DragsWindow())
      return false;
  }
  return true;
}

CControlUI* CPaintManagerUI::GetDefaultButton() const {
  if (default_button_.empty())
    return nullptr;
  CControlUI* c = FindControl(default_button_.c_str());
  if (c == nullptr || c->GetInterface("Button") == nullptr || !c->IsVisible() || !c->IsEnabled())
    return nullptr;
  return c;
}

POINT CPaintManagerUI::CursorOnScreen(POINT client) const {
  POINT at;
  if (CurrentBackend().GetCursorScreenPos(&at))
    return at;
  // Mouse messages are relative to where the window is as they are handled.
  const RECT r = window_->GetWindowRect();
  return POINT{r.left + client.x, r.top + client.y};
}

void CPaintManagerUI::BeginDrag(POINT pt) {
  dragging_ = true;
  captured_ = nullptr;
  drag_cursor_ = CursorOnScreen(pt);
  const RECT r = window_->GetWindowRect();
  drag_origin_ = POINT{r.left, r.top};
  if (NativeWindow* native = window_->native())
    native->SetMouseCapture(true);
}

void CPaintManagerUI::DragTo(POINT pt) {
  const POINT now = CursorOnScreen(pt);
  window_->MoveWindow(drag_origin_.x + now.x - drag_cursor_.x,
                      drag_origin_.y + now.y - drag_cursor_.y);
}

void CPaintManagerUI::EndDrag() {
  dragging_ = false;
  if (NativeWindow* native = window_->native())
    native->SetMouseCapture(false);
}

bool CPaintManagerUI::OnReturn() {
  if (focus_ != nullptr && focus_->TakesReturn())
    return false;
  CControlUI* button = GetDefaultButton();
  if (button == nullptr)
    return false;
  button->Activate();
  return true;
}

void CPaintManagerUI::DeliverText(UINT message, WPARAM number, LPARAM lParam) {
  std::optional<std::string> text = TakePostedText(number);
  const bool input_allowed = window_ == nullptr || window_->IsWindowEnabled();
  if (!text || !input_allowed || focus_ == nullptr)
    return;
  TEventUI e;
  e.Type = message == kTextInputMessage ? UIEVENT_TEXTINPUT : UIEVENT_COMPOSITION;
  e.pSender = focus_;
  e.text = std::move(*text);
  e.wParam = static_cast<WPARAM>(lParam);
  SendEvent(focus_, e);
}

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  const bool input_allowed = window_ == nullptr || window_->IsWindowEnabled();
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  // A drag ends only with the button, whatever happens to the window meanwhile.
  if (dragging_ && (message == WM_MOUSEMOVE || message == WM_LBUTTONUP)) {
    if (message == WM_MOUSEMOVE)
      DragTo(pt);
    else
      EndDrag();
    return true;
  }
  switch (message) {
    case WM_PAINT:
      Paint();
      return true;
    case WM_SIZE:
      NeedUpdate();
      return false;
    case kTextInputMessage:
    case kCompositionMessage:
      DeliverText(message, wParam, lParam);
      return true;
    case WM_MOUSEMOVE: {
      if (!input_allowed)
        return true;
      UpdateHot(HitTest(pt), pt);
      if (captured_ != nullptr) {
        TEventUI e;
        e.Type = UIEVENT_MOUSEMOVE;
        e.pSender = captured_;
        e.ptMouse = pt;
        e.wKeyState = static_cast<WORD>(wParam);
        SendEvent(captured_, e);
      }
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!input_allowed)
        return true;
      if (overlay_ != nullptr && !PointInRect(overlay_->OverlayRect(), pt)) {
        IOverlayUI* o = overlay_;
        overlay_ = nullptr;
        o->CloseOverlay();
      }
      if (IsCaptionPoint(pt)) {
        BeginDrag(pt);
        return true;
      }
      CControlUI* target = HitTest(pt);
      UpdateHot(target, pt);
      if (target == nullptr)
        return true;
      for (CControlUI* c = target; c != nullptr; c = c->GetParent()) {
        if (c->WantsFocus()) {
          SetFocus(c);
          break;
        }
      }
      if (target->GetManager() != this)
        return true;  // a focus handler removed it
      captured_ = target;
      TEventUI e;
      e.Type = message == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK;
      e.pSender = target;
      e.ptMouse = pt;
      e.wKeyState = static_cast<WORD>(wParam);
      SendEvent(target, e);
      return true;
    }
    case WM_LBUTTONUP: {
      if (captured_ == nullptr)
        return true;
      CControlUI* target = captured_;
      captured_ = nullptr;
      TEventUI e;
      e.Type = UIEVENT_BUTTONUP;
      e.pSender = target;
      e.ptMouse = pt;
      SendEvent(target, e);
      return true;
    }
    case WM_MOUSEWHEEL: {
      if (!input_allowed)
        return true;
      CControlUI* target = HitTest(pt);
      if (target == nullptr)
        return true;
      TEventUI e;
      e.Type = UIEVENT_SCROLLWHEEL;
      e.pSender = target;
      e.ptMouse = pt;
      e.wParam = static_cast<int16_t>(HIWORD(wParam)) > 0 ? 0 : 1;
      SendEvent(target, e);
      return true;
    }
    case WM_KEYDOWN:
    case WM_CHAR: {
      if (input_allowed && message == WM_KEYDOWN && wParam == VK_TAB)
        return SetNextTabControl((lParam & MK_SHIFT) == 0);
      if (input_allowed && message == WM_KEYDOWN && wParam == VK_RETURN && OnReturn())
        return true;
      if (!input_allowed || focus_ == nullptr)
        return false;
      TEventUI e;
      e.Type = message == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_CHAR;
      e.pSender = focus_;
      e.chKey = static_cast<char32_t>(wParam);
      e.wKeyState = static_cast<WORD>(lParam & (MK_SHIFT | MK_CONTROL));
      SendEvent(focus_, e);
      return true;
    }
    default:
      return false;
  }
}

void CPaintManagerUI::LayoutIfNeeded() {
  if (!root_ || window_ == nullptr)
    return;
  // A windowinit handler may change the tree; lay out again until it settles.
  for (int round = 0; round < 4 && need_update_; ++round) {
    need_update_ = false;
    const SIZE size = window_->GetClientSize();
    root_->SetPos(RECT{0, 0, size.cx, size.cy});
    if (!init_sent_) {
      init_sent_ = true;
      SendNotify(root_.get(), kNotifyWindowInit);
    }
  }
}

void CPaintManagerUI::Paint() {
  if (window_ == nullptr || window_->GetHWND() == nullptr)
    return;
  LayoutIfNeeded();
  NativeWindow* native = window_->native();
  if (native == nullptr || !root_)
    return;
  const SIZE size = window_->GetClientSize();
  const RECT all{0, 0, size.cx, size.cy};
  RenderTarget& target = native->BeginPaint();
  root_->DoPaint(target, all);
  if (overlay_ != nullptr)
    overlay_->PaintOverlay(target);
  native->EndPaint();
}

void CPaintManagerUI::NeedUpdate() {
  need_update_ = true;
  ++layout_serial_;
  Invalidate();
}

void CPaintManagerUI::Invalidate() {
  const HWND h = GetPaintWindow();
  if (h != nullptr)
    InvalidateWindow(h);
}

const std::string& CPaintManagerUI::GetResourceFolder() const {
  return resource_folder_.empty() ? GetResourcePath() : resource_folder_;
}

void CPaintManagerUI::AddFont(int id, const FontSpec& font, bool is_default) {
  fonts_[id] = font;
  if (is_default)
    default_font_ = font;
}

const FontSpec& CPaintManagerUI::GetFont(int id) const {
  const auto it = fonts_.find(id);
  return it == fonts_.end() ? default_font_ : it->second;
}

void CPaintManagerUI::SetDefaultAttributeList(const std::string& control_class,
                                              const std::string& list) {
  default_attributes_[control_class] = list;
}

const std::string* CPaintManagerUI::GetDefaultAttributeList(
    const std::string& control_class) const {
  const auto it = default_attributes_.find(control_class);
  return it == default_attributes_.end() ? nullptr : &it->second;
}

Image* CPaintManagerUI::GetImage(const std::string& name) {
  if (name.empty())
    return nullptr;
  const auto it = images_.find(name);
  if (it != images_.end())
    return it->second.get();
  std::string path, bytes;
  std::shared_ptr<Image> image;
  if (SkinImagePath(GetResourceFolder(), name, &path) &&
      platform::ReadRegularFileAtMost(path, kMaxImageBytes, &bytes)) {
    image = CurrentBackend().DecodeImage(bytes);
  }
  // A missing image is remembered too, so a skin naming it is not read again at every paint.
  images_[name] = image;
  return image.get();
}

bool CPaintManagerUI::AddImage(const std::string& name, const std::string& bytes) {
  std::shared_ptr<Image> image = CurrentBackend().DecodeImage(bytes);
  if (!image)
    return false;
  images_[name] = std::move(image);
  Invalidate();
  return true;
}

SIZE CPaintManagerUI::MeasureText(const std::string& text, int font) const {
  return CurrentBackend().MeasureText(text, GetFont(font));
}

void CPaintManagerUI::AddOptionGroup(const std::string& group, CControlUI* option) {
  auto& members = option_groups_[group];
  if (std::find(members.begin(), members.end(), option) == members.end()) {
    members.push_back(option);
  }
}

void CPaintManagerUI::RemoveOptionGroup(const std::string& group, CControlUI* option) {
  const auto it = option_groups_.find(group);
  if (it == option_groups_.end())
    return;
  std::erase(it->second, option);
  if (it->second.empty())
    option_groups_.erase(it);
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(const std::string& group) const {
  const auto it = option_groups_.find(group);
  return it == option_groups_.end() ? nullptr : &it->second;
}

void CPaintManagerUI::SetOverlay(IOverlayUI* overlay) {
  overlay_ = overlay;
  Invalidate();
}

void CPaintManagerUI::RegisterName(CControlUI* control) {
  if (control->GetName().empty() || control->name_key_ != 0)
    return;
  control->name_key_ = ++last_name_key_;
  names_[control->GetName()].emplace(control->name_key_, control);
}

void CPaintManagerUI::UnregisterName(CControlUI* control, const std::string& name) {
  if (control->name_key_ == 0)
    return;
  const auto it = names_.find(name);
  if (it == names_.end())
    return;
  const auto entry = it->second.find(control->name_key_);
  if (entry == it->second.end() || entry->second != control)
    return;
  it->second.erase(entry);
  control->name_key_ = 0;
  if (it->second.empty())
    names_.erase(it);
}

void CPaintManagerUI::ReapControl(CControlUI* control) {
  UnregisterName(control, control->GetName());
  if (focus_ == control)
    focus_ = nullptr;
  if (hot_ == control)
    hot_ = nullptr;
  if (captured_ == control)
    captured_ = nullptr;
  if (overlay_ != nullptr && dynamic_cast<IOverlayUI*>(control) == overlay_)
    overlay_ = nullptr;
}

}  // namespace skinui
