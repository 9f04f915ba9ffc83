#include "testing/game/game_window.h"

#include <memory>
#include <utility>

#include "skinui/container.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/message_queue.h"

namespace fake_game {
namespace {

constexpr char kGameName[] = "演示游戏";
constexpr int kWidth = 560;
constexpr int kHeight = 560;
constexpr UINT_PTR kLifeTimer = 1;

std::string Escape(std::string_view s) {
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
      default:
        // Control bytes would end the line or upset the XML; a blank keeps the place.
        out.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
    }
  }
  return out;
}

// The first `n` whole characters of a UTF-8 text, "…" marking a cut.
std::string Shorten(std::string_view text, size_t n) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > n)
      return std::string(text.substr(0, i)) + "…";
  }
  return std::string(text);
}

// Fields shown across the whole width: paths and names that do not fit half of it.
bool IsWideField(const std::string& name) {
  return name == "exename" || name == "resfolder";
}

std::string FieldRow(const LaunchField& f) {
  return "<HorizontalLayout height=\"22\">"
         "<Label width=\"72\" textcolor=\"#FF6B7A90\" text=\"" +
         Escape(LaunchFieldCaption(f.name)) +
         "\"/>"
         "<Label textcolor=\"#FF1F2D3D\" endellipsis=\"true\" text=\"" +
         Escape(Shorten(f.value, kMaxFieldCharacters)) + "\"/></HorizontalLayout>";
}

std::string Subtitle(const std::vector<LaunchField>& fields) {
  std::string text = "由大厅启动";
  for (const char* name : {"plan_id", "match_id", "user_id"}) {
    if (std::optional<std::string> v = FindLaunchField(fields, name))
      text += " · " + LaunchFieldCaption(name) + " " + Shorten(*v, 24);
  }
  return text;
}

}  // namespace

GameWindow::GameWindow(std::vector<LaunchField> fields)
    : fields_(std::move(fields)), skin_(Skin(fields_)) {}

std::string GameWindow::Skin(const std::vector<LaunchField>& fields) {
  std::vector<const LaunchField*> grid, wide;
  for (const LaunchField& f : fields)
    (IsWideField(f.name) ? wide : grid).push_back(&f);
  std::string columns[2];
  for (size_t i = 0; i < grid.size(); ++i)
    columns[i < (grid.size() + 1) / 2 ? 0 : 1] += FieldRow(*grid[i]);
  std::string wide_rows;
  for (const LaunchField* f : wide)
    wide_rows += FieldRow(*f);
  const int grid_height = static_cast<int>((grid.size() + 1) / 2) * 22;
  const int wide_height = static_cast<int>(wide.size()) * 22;
  if (fields.empty())
    wide_rows = "<Label height=\"22\" textcolor=\"#FFB04A3C\" text=\"启动参数里没有可读的字段\"/>";

  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<Window size=\"" +
         std::to_string(kWidth) + "," + std::to_string(kHeight) +
         "\">"
         "<Font id=\"0\" size=\"13\" default=\"true\"/>"
         "<Font id=\"1\" size=\"19\" bold=\"true\"/>"
         "<Font id=\"2\" size=\"14\" bold=\"true\"/>"
         "<VerticalLayout bkcolor=\"#FFF4F6FA\" bordersize=\"1\" bordercolor=\"#FF2D5F9A\">"
         "<VerticalLayout height=\"60\" bkcolor=\"#FF2D6CB5\" inset=\"16,8,16,8\">"
         "<Label name=\"title\" height=\"26\" font=\"1\" textcolor=\"#FFFFFFFF\" text=\"" +
         std::string(kGameName) +
         "\"/>"
         "<Label name=\"subtitle\" textcolor=\"#FFDCE8F7\" endellipsis=\"true\" text=\"" +
         Escape(Subtitle(fields)) +
         "\"/></VerticalLayout>"
         "<Label height=\"32\" font=\"2\" textpadding=\"16,6,0,0\" textcolor=\"#FF2D5F9A\" "
         "text=\"启动参数\"/>"
         "<HorizontalLayout name=\"fields\" height=\"" +
         std::to_string(grid_height) +
         "\" inset=\"16,0,16,0\" childpadding=\"16\">"
         "<VerticalLayout>" +
         columns[0] + "</VerticalLayout><VerticalLayout>" + columns[1] +
         "</VerticalLayout></HorizontalLayout>"
         "<VerticalLayout name=\"widefields\" height=\"" +
         std::to_string(fields.empty() ? 22 : wide_height) + "\" inset=\"16,0,16,0\">" + wide_rows +
         "</VerticalLayout>"
         "<Label height=\"32\" font=\"2\" textpadding=\"16,8,0,0\" textcolor=\"#FF2D5F9A\" "
         "text=\"收到的大厅消息\"/>"
         "<HorizontalLayout inset=\"16,2,16,0\">"
         "<List name=\"messages\" vscrollbar=\"true\" bkcolor=\"#FFFFFFFF\" bordersize=\"1\" "
         "bordercolor=\"#FFC8D3E0\" inset=\"1,1,1,1\"/></HorizontalLayout>"
         "<HorizontalLayout height=\"52\" inset=\"16,10,16,10\">"
         "<Label name=\"status\" textcolor=\"#FF6B7A90\" text=\"等待大厅的消息…\"/>"
         "<Button name=\"quitbtn\" width=\"104\" text=\"退出游戏\" bkcolor=\"#FF2D6CB5\" "
         "textcolor=\"#FFFFFFFF\" hottextcolor=\"#FFFFE9A8\"/>"
         "</HorizontalLayout></VerticalLayout></Window>";
}

std::string GameWindow::Title() const {
  std::string title = kGameName;
  if (std::optional<std::string> plan = FindLaunchField(fields_, "plan_id"))
    title += " · 方案 " + Shorten(*plan, 24);
  return title;
}

bool GameWindow::Open() {
  if (Create(nullptr, Title().c_str(), WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_APPWINDOW, 0, 0,
             kWidth, kHeight) == nullptr) {
    return false;
  }
  inbox_->Attach(GetHWND());
  CenterWindow();
  ShowWindow(true);
  // Texts that arrived before the window existed.
  skinui::PostMessage(GetHWND(), kGameInboxMessage, 0, 0);
  return true;
}

void GameWindow::AddLine(const std::string& text) {
  auto* list = static_cast<skinui::CListUI*>(FindControl("messages"));
  if (list == nullptr)
    return;
  ++received_;
  while (list->GetCount() >= static_cast<int>(kMaxShownLines))
    list->RemoveAt(0);
  auto* row = new skinui::CListContainerElementUI;
  row->SetFixedHeight(24);
  auto* number = new skinui::CLabelUI;
  number->SetFixedWidth(40);
  number->SetAttribute("align", "right");
  number->SetAttribute("textcolor", "#FF9AA7B8");
  number->SetText(std::to_string(received_).c_str());
  auto* label = new skinui::CLabelUI;
  label->SetAttribute("textpadding", "10,0,6,0");
  label->SetAttribute("endellipsis", "true");
  label->SetText(text.c_str());
  row->Add(number);
  row->Add(label);
  list->Add(row);
  list->EnsureVisible(list->GetCount() - 1);
  SetStatus("已收到 " + std::to_string(received_) + " 条消息");
  if (on_shown)
    on_shown(text);
}

void GameWindow::CloseAfter(uint32_t ms) {
  skinui::SetTimer(GetHWND(), kLifeTimer, ms);
}

void GameWindow::SetStatus(const std::string& text) {
  if (skinui::CControlUI* status = FindControl("status"))
    status->SetText(text.c_str());
}

std::vector<std::string> GameWindow::ShownLines() const {
  std::vector<std::string> lines;
  auto* list = static_cast<skinui::CListUI*>(m_pm.FindControl("messages"));
  for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
    auto* row = static_cast<skinui::CContainerUI*>(list->GetItemAt(i));
    if (row->GetCount() == 2)
      lines.push_back(row->GetItemAt(1)->GetText());
  }
  return lines;
}

std::vector<GameInbox::Entry> GameInbox::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(entries_, {});
}

bool GameInbox::Push(Entry entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  const HWND window = window_.load();
  return window != nullptr && skinui::PostMessage(window, kGameInboxMessage, 0, 0);
}

void GameWindow::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender != nullptr && msg.pSender->GetName() == "quitbtn")
    Close(IDOK);
}

LRESULT GameWindow::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) {
  if (message == WM_TIMER && wParam == kLifeTimer) {
    handled = TRUE;
    Close(IDOK);
    return 0;
  }
  if (message != kGameInboxMessage)
    return 0;
  handled = TRUE;
  for (GameInbox::Entry& e : inbox_->Take()) {
    if (e.status) {
      SetStatus(e.text);
    } else {
      AddLine(e.text);
    }
  }
  return 0;
}

void GameWindow::OnFinalMessage(HWND hwnd) {
  inbox_->Attach(nullptr);
  WindowImplBase::OnFinalMessage(hwnd);
  skinui::PostQuitMessage(0);
}

}  // namespace fake_game
