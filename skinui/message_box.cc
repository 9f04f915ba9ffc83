#include "skinui/message_box.h"

#include "skinui/control.h"
#include "skinui/window_impl_base.h"

namespace skinui {
namespace {

MessageBoxProvider* g_provider = nullptr;

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

const char* IconMark(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return "✖";
    case MB_ICONQUESTION:
      return "?";
    case MB_ICONWARNING:
      return "!";
    case MB_ICONINFORMATION:
      return "i";
    default:
      return "";
  }
}

class SkinMessageBox : public WindowImplBase {
 public:
  SkinMessageBox(std::string skin, UINT type) : skin_(std::move(skin)), type_(type) {}
  const char* GetWindowClassName() const override { return "SkinMessageBox"; }
  CDuiString GetSkinFile() override { return skin_; }
  void OnClick(TNotifyUI& msg) override {
    const std::string& n = msg.pSender->GetName();
    if (n == "mb_ok")
      Close(IDOK);
    if (n == "mb_yes")
      Close(IDYES);
    if (n == "mb_no")
      Close(IDNO);
  }

 protected:
  UINT GetDismissResult() const override { return (type_ & 0x0F) == MB_YESNO ? IDNO : IDOK; }

 private:
  std::string skin_;
  UINT type_;
};

class DefaultProvider : public MessageBoxProvider {
 public:
  int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
    SkinMessageBox box(MessageBoxSkin(text, caption, type), type);
    if (box.Create(owner, caption.c_str(), WS_POPUP, 0) == nullptr)
      return IDCANCEL;
    box.CenterWindow();
    return static_cast<int>(box.ShowModal());
  }
};

}  // namespace

std::string MessageBoxSkin(const std::string& text, const std::string& caption, UINT type) {
  const bool yes_no = (type & 0x0F) == MB_YESNO;
  std::string buttons =
      yes_no ? "<Button name=\"mb_yes\" text=\"是\" width=\"80\" bkcolor=\"#FFE0E0E0\"/>"
               "<Control width=\"16\"/>"
               "<Button name=\"mb_no\" text=\"否\" width=\"80\" bkcolor=\"#FFE0E0E0\"/>"
             : "<Button name=\"mb_ok\" text=\"确定\" width=\"80\" bkcolor=\"#FFE0E0E0\"/>";
  // The box moves by its title band; Enter answers with its first button.
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Window size=\"360,170\" "
         "caption=\"0,0,0,30\" defaultbutton=\"" +
         std::string(yes_no ? "mb_yes" : "mb_ok") +
         "\">"
         "<VerticalLayout bkcolor=\"#FFF5F5F5\" bordersize=\"1\" bordercolor=\"#FF808080\">"
         "<Label name=\"mb_caption\" height=\"30\" textpadding=\"10,0,0,0\" bkcolor=\"#FF3C78B4\" "
         "textcolor=\"#FFFFFFFF\" text=\"" +
         Escape(caption) +
         "\"/>"
         "<HorizontalLayout inset=\"12,12,12,0\">"
         "<Label name=\"mb_icon\" width=\"28\" text=\"" +
         IconMark(type) +
         "\"/>"
         "<Label name=\"mb_text\" multiline=\"true\" text=\"" +
         Escape(text) +
         "\"/></HorizontalLayout>"
         "<HorizontalLayout height=\"44\" inset=\"0,6,0,10\"><Control/>" +
         buttons + "<Control/></HorizontalLayout></VerticalLayout></Window>";
}

void SetMessageBoxProvider(MessageBoxProvider* provider) {
  g_provider = provider;
}

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  static DefaultProvider fallback;
  MessageBoxProvider* p = g_provider != nullptr ? g_provider : &fallback;
  return p->Show(owner, text, caption, type);
}

int ScriptedMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption,
                               UINT type) {
  shown_.push_back(Shown{owner, text, caption, type});
  if (!answers_.empty()) {
    const int r = answers_.front();
    answers_.pop_front();
    return r;
  }
  return (type & 0x0F) == MB_YESNO ? IDNO : IDOK;
}

}  // namespace skinui
