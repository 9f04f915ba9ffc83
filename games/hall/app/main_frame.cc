#include "games/hall/app/main_frame.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/hall_gate.h"
#include "games/hall/app/hall_plan_manager.h"
#include "games/hall/app/hot_match_list.h"
#include "games/hall/app/lobby_links.h"
#include "games/hall/app/plan_views.h"
#include "games/hall/app/ui_left_group.h"
#include "games/hall/app/ui_plan_list.h"
#include "games/hall/ui/control_text.h"
#include "games/hall/ui/message_dialog.h"
#include "games/hall/ui/process_req_win.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/factories.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/log/debug_trace.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"
#include "skinui/backend.h"
#include "skinui/button.h"
#include "skinui/control.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"

namespace hall {

namespace {

namespace cmd = qv::cmd;

// How many faces the skin folder holds ("face/k000.bmp" .. "face/k069.bmp").
constexpr uint32_t kFaceCount = 70;
// Ids of the funds shown in "fee1_text" .. "fee3_text".
constexpr uint32_t kFirstShownFund = 20;
constexpr int kShownFunds = 3;
// Routing of the fund query.
constexpr uint32_t kFundAppType = 9;
constexpr uint32_t kFundAppId = 2;
// The skin name of the plan tree's rows' list, as the tree's notifications name it.
constexpr char kPlanListName[] = "plan_list";

// The message shown for a refused login, by result code.
std::string LoginFailureText(int result) {
  switch (result) {
    case 1:
      return "账号不存在";
    case 2:
      return "账号被冻结";
    case 3:
      return "密码错误";
    case 4:
      return "网络异常";
    case 5:
      return "服务器忙";
    case 6:
      return "禁止游客登录";
    case 7:
      return "连接异常";
    case 8:
      return "您的版本过低，请升级";
    case 9:
      return "游客分配失败";
    case 10:
      return "所在ip登录过多";
    case 11:
      return "系统初始化，请稍后再试";
    default:
      return "错误代码:" + std::to_string(result);
  }
}

// The ids of a group's lists, in the catalogue's order, read under its lock.
std::vector<uint32_t> ListIdsOfGroup(qvc::PlanList* catalogue, uint32_t group_id) {
  std::vector<uint32_t> lists;
  catalogue->Read([&](const qvc::PlanList::View& view) {
    for (const qvc::PlanGroupRecord& group : view.groups()) {
      if (group.group_id() != group_id)
        continue;
      for (const qvc::PlanListRecord& list : group.lists)
        lists.push_back(list.list_id());
    }
  });
  return lists;
}

const skinui::NotifyMapEntry kMainFrameNotifyMap[] = {
    {"selectchanged", "", skinui::NotifyFn(&MainFrame::OnSelectChanged)},
    {"windowinit", "", skinui::NotifyFn(&MainFrame::OnWindowInit)},
    {nullptr, nullptr, nullptr},
};

}  // namespace

MainFrame::MainFrame(MainFrameEnv env)
    : env_(std::move(env)), hall_table_(this), match_table_(this) {
  hall_table_.Set(cmd::hallclient::kAllGroupRsp, &MainFrame::OnAllGroupRsp);
  hall_table_.Set(cmd::hallclient::kAllListRsp, &MainFrame::OnAllListRsp);
  hall_table_.Set(cmd::hallclient::kAllPlanRsp, &MainFrame::OnAllPlanRsp);
  hall_table_.Set(cmd::hallclient::kPlanAllStartPoint, &MainFrame::OnPlanAllStartPoint);
  match_table_.Set(cmd::matchclient::kJoinRsp, &MainFrame::OnJoinRsp);
  match_table_.Set(cmd::matchclient::kMatchPrize, &MainFrame::OnMatchPrize);
  if (env_.result_windows == nullptr)
    env_.result_windows = &ProcessReqWinRegistry::Instance();
}

MainFrame::~MainFrame() {
  skinui::PostQuitMessage(0);
}

const skinui::NotifyMapEntry* MainFrame::GetMessageMap() const {
  return kMainFrameNotifyMap;
}

skinui::CControlUI* MainFrame::CreateControl(const char* class_name) {
  // The views reach the gate through the window: it exists only once the hall has started.
  PlanViewLinks links;
  links.gate = &views_gate_;
  links.my_match = env_.my_match;
  links.clock = env_.clock;
  links.account = env_.account;
  links.begin_signup = [this](uint32_t plan_id) {
    if (gate_ != nullptr)
      BeginSignup(signup_, plan_id);
  };
  if (strcasecmp(class_name, "GroupList") == 0) {
    group_bar_ = new UILeftGroup(&m_pm, links);
    return group_bar_;
  }
  if (strcasecmp(class_name, "PlanList") == 0) {
    plan_tree_ = new UIPlanList(&m_pm, links);
    return plan_tree_;
  }
  if (strcasecmp(class_name, "HotMatchList") == 0) {
    hot_list_ = new HotMatchList(&m_pm, links);
    return hot_list_;
  }
  return nullptr;
}

void MainFrame::InitWindow() {
  hall_info_ = FindControl("richedit_hall_info");
  SetDialogOwnerWindow(GetHWND());
}

void MainFrame::OnWindowInit(skinui::TNotifyUI&) {
  if (started_)
    return;
  started_ = true;
  // StartHall: the random faces differ from run to run.
  std::srand(static_cast<unsigned>(env_.clock->WallSeconds() + env_.clock->TickCount()));
  gate_ = env_.start_hall ? env_.start_hall(this, GetHWND()) : nullptr;
  if (gate_ != nullptr) {
    gate_->AddCommandFactory(cmd::kKindCaptcha, &qv::CreateCaptchaCommand);
    signup_ = SignupEnv{gate_, env_.my_match, env_.check_game_version, GetHWND()};
    views_gate_.SetTarget(gate_);
  }
  const UINT login = (gate_ != nullptr && env_.show_login) ? env_.show_login(GetHWND(), *gate_) : 2;
  if (login == 2)
    Close(1);
}

bool MainFrame::PostToMainWindow(uint32_t message, qvc::NetResultRecord* record) {
  std::lock_guard<std::mutex> lock(records_mu_);
  if (!posting_)
    return false;
  if (!skinui::PostMessage(GetHWND(), message, 0, reinterpret_cast<LPARAM>(record)))
    return false;
  records_.insert(record);
  return true;
}

LRESULT MainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY)
    StopResults();
  return WindowImplBase::HandleMessage(message, wParam, lParam);
}

void MainFrame::StopResults() {
  views_gate_.SetTarget(nullptr);
  if (env_.stop_hall)
    env_.stop_hall();
  gate_ = nullptr;
  std::set<qvc::NetResultRecord*> left;
  {
    std::lock_guard<std::mutex> lock(records_mu_);
    posting_ = false;
    left.swap(records_);
  }
  for (qvc::NetResultRecord* record : left)
    qvc::FinishNetResult(record);
}

LRESULT MainFrame::HandleCustomMessage(UINT message, WPARAM, LPARAM lParam, BOOL& handled) {
  if (message == qvc::kWmNetResult) {
    handled = TRUE;
    auto* record = reinterpret_cast<qvc::NetResultRecord*>(lParam);
    {
      std::lock_guard<std::mutex> lock(records_mu_);
      if (records_.erase(record) == 0)
        return 0;  // finished already when posting stopped
    }
    OnNetResult(record->command, static_cast<uint32_t>(record->app_session),
                static_cast<uint32_t>(record->app_session >> 32));
    qvc::FinishNetResult(record);
    return 0;
  }
  if (message == WM_TIMER || message == WM_GATE_CLOSED) {
    handled = TRUE;
    return 0;
  }
  handled = FALSE;
  return 0;
}

void MainFrame::OnNetResult(qv::CMD_base* command, uint32_t session_low, uint32_t session_high) {
  if (command == nullptr)
    return;
  if (command->kind == cmd::kKindClient && command->subid == cmd::client::kLoginRsp) {
    OnLoginResult(command);
    return;
  }
  if (command->kind == cmd::kKindClient && command->subid == cmd::client::kQueryFundRsp) {
    OnFundResult(command);
  } else if (command->kind == cmd::kKindMatchClient) {
    match_table_.HandleCmd(command);
  } else if (command->kind == cmd::kKindHallClient) {
    hall_table_.HandleCmd(command);
  }
  env_.result_windows->Dispatch(command, session_low, session_high);
}

void MainFrame::OnLoginResult(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdLoginRsp*>(command)->message;
  if (reply.login_result() != qv::client::LoginRsp::SUCCESS) {
    OnLoginFailed(reply.login_result(), reply.login_info());
    return;
  }
  if (gate_ == nullptr)
    return;
  AccountRecord& account = *env_.account;
  if (env_.accounts != nullptr) {
    // The reply's own id: the session may already hold a later login's.
    account.save_password = env_.accounts->LoadSavePassword();
    env_.accounts->SaveAccount(account.account, account.clear_password, reply.user_id(),
                               account.save_password);
  }
  const qv::types::BaseUserInfo user = gate_->base_info();
  ShowFace(user.face_id());
  SetControlTextUtf8(FindControl("NickNameText"), user.nick_name().c_str());
  qv::CmdQueryFundReq query;
  query.message.set_user_id(gate_->user_id());
  query.routing.apptype = kFundAppType;
  query.routing.appid = kFundAppId;
  gate_->SendThroughGate(query);
  if (env_.load_game_list)
    env_.load_game_list();
}

void MainFrame::OnLoginFailed(int result, const std::string& info) {
  // The password and its digest stay out of the log: every sink would keep them.
  GC_LOG(3) << "登录失败了:token=" << (gate_ != nullptr ? gate_->login_token() : 0)
            << ",account=" << env_.account->account;
  std::string text = result == 255 ? info : LoginFailureText(result);
  if (!info.empty())
    text = info;
  const int answer = ShowMessageDialog(1, "登录失败：" + text, "登录", "确定", "取消");
  if (answer != 2)
    return;
  if (env_.restart_hall && env_.restart_hall()) {
    skinui::PostQuitMessage(0);
    return;
  }
  const int again = skinui::MessageBox(GetHWND(), "大厅启动失败，请重新启动游戏大厅", "信息",
                                       MB_YESNO | MB_ICONQUESTION);
  if (again == IDNO)
    skinui::PostQuitMessage(0);
}

void MainFrame::OnFundResult(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdQueryFundRsp*>(command)->message;
  for (const qv::types::FundItem& item : reply.fund_items()) {
    qv::types::FundItem& kept = env_.account->funds[item.id()];
    kept.Clear();
    kept.MergeFrom(item);
  }
  ShowFunds();
}

void MainFrame::ShowFunds() {
  for (int n = 1; n <= kShownFunds; ++n) {
    const std::string name = "fee" + std::to_string(n) + "_text";
    const auto it = env_.account->funds.find(kFirstShownFund + static_cast<uint32_t>(n) - 1);
    const std::string text =
        it == env_.account->funds.end() ? std::string() : std::to_string(it->second.count());
    SetControlTextUtf8(FindControl(name.c_str()), text.c_str());
  }
}

void MainFrame::ShowFace(uint32_t face_id) {
  // Any id the gate sends names one of the faces the skin holds.
  const uint32_t n = face_id != 0 ? face_id : static_cast<uint32_t>(std::rand());
  char image[32];
  std::snprintf(image, sizeof image, "face/k%03u.bmp", n % kFaceCount);
  if (skinui::CControlUI* face = FindControl("UserFace"))
    face->SetBkImage(image);
}

void MainFrame::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender == nullptr)
    return;
  const std::string name = msg.pSender->GetName();
  if (name == "closebtn") {
    if (ShowMessageDialog(2, "你确定要退出吗?", "请确定", "是", "取消") == 1) {
      if (env_.close_progress_window)
        env_.close_progress_window();
      skinui::PostQuitMessage(0);
    }
  } else if (strcasecmp(name.c_str(), "ReturnPlazaBT") == 0) {
    if (env_.show_about)
      env_.show_about(GetHWND());
  } else if (strcasecmp(name.c_str(), "TopMatchBT") == 0) {
    OpenLobbyLink("UrlHome");
  } else if (strcasecmp(name.c_str(), "PayBT") == 0) {
    OpenLobbyLink("UrlPay", std::to_string(gate_ != nullptr ? gate_->user_id() : 0));
  } else if (strcasecmp(name.c_str(), "WebCompanyBT") == 0) {
    OpenLobbyLink("UrlGM");
  } else if (name == "maxbtn") {
    BOOL handled = FALSE;
    OnSysCommand(WM_SYSCOMMAND, SC_MAXIMIZE, 0, handled);
  } else if (name == "restorebtn") {
    BOOL handled = FALSE;
    OnSysCommand(WM_SYSCOMMAND, SC_RESTORE, 0, handled);
  } else {
    WindowImplBase::OnClick(msg);
  }
}

void MainFrame::OpenLobbyLink(const char* key, const std::string& suffix) {
  if (env_.links == nullptr)
    return;
  OpenUrl(ReadLobbyUrl(env_.program_dir, key) + suffix, *env_.links);
}

LRESULT MainFrame::ResponseDefaultKeyEvent(WPARAM key) {
  // Escape does not close the hall.
  if (key == VK_ESCAPE)
    return 1;
  return WindowImplBase::ResponseDefaultKeyEvent(key);
}

void MainFrame::Notify(skinui::TNotifyUI& msg) {
  static int counter = 0;
  const std::string sender = msg.pSender != nullptr ? std::string(msg.pSender->GetName()) : "";
  DebugTrace("%d %s sender name=%s\n", ++counter, msg.sType.c_str(), sender.c_str());
  if (plan_tree_ != nullptr && msg.pSender != nullptr) {
    const bool from_rows = sender == kPlanListName;
    if (from_rows && msg.sType == "itemselect") {
      plan_tree_->OnItemNotify(&msg);
      return;
    }
    if ((msg.sType == "itemclick" || msg.sType == "click") &&
        msg.pSender->GetUserData() == UIPlanList::kRowUserData) {
      plan_tree_->OnItemNotify(&msg);
      return;
    }
    if (from_rows)
      return;
  }
  WindowImplBase::Notify(msg);
}

void MainFrame::OnSelectChanged(skinui::TNotifyUI& msg) {
  if (group_bar_ == nullptr || !group_bar_->IsGroupOption(msg.pSender))
    return;
  const auto group_id = static_cast<uint32_t>(msg.pSender->GetTag());
  ShowGroup(group_id);
  qvc::PlanList* catalogue = gate_ != nullptr ? gate_->catalogue() : nullptr;
  if (catalogue == nullptr)
    return;
  for (uint32_t list_id : ListIdsOfGroup(catalogue, group_id))
    ShowListPlans(list_id, group_id);
}

void MainFrame::ShowGroup(uint32_t group_id) {
  qvc::PlanList* catalogue = gate_ != nullptr ? gate_->catalogue() : nullptr;
  if (catalogue != nullptr) {
    catalogue->SetCurrentGroup(group_id);
    catalogue->RefreshPlans(true);
  }
  if (plan_tree_ == nullptr)
    return;
  plan_tree_->SetCurrentGroup(group_id);
  plan_tree_->ClearShownTypes();
  if (catalogue != nullptr) {
    for (uint32_t list_id : ListIdsOfGroup(catalogue, group_id))
      plan_tree_->AddType(list_id);
  }
  plan_tree_->RemoveStaleTypes();
}

void MainFrame::ShowListPlans(uint32_t list_id, uint32_t group_id) {
  if (plan_tree_ == nullptr)
    return;
  plan_tree_->ClearShownPlans();
  qvc::PlanList* catalogue = gate_ != nullptr ? gate_->catalogue() : nullptr;
  std::vector<uint32_t> plans;
  if (catalogue != nullptr) {
    // The ids are taken under the catalogue's lock; the rows read the catalogue themselves.
    catalogue->Read([&](const qvc::PlanList::View& view) {
      if (const qvc::PlanListRecord* list = view.FindList(group_id, list_id)) {
        plans.reserve(list->plans().size());
        for (const qvc::PlanEntry& plan : list->plans())
          plans.push_back(plan.plan_id());
      }
    });
  }
  for (uint32_t plan_id : plans)
    plan_tree_->AddOrUpdatePlan(list_id, plan_id);
  plan_tree_->RemoveStalePlans(list_id);
}

void MainFrame::OnAllGroupRsp(qv::CMD_base*) {
  if (group_bar_ != nullptr)
    group_bar_->Rebuild();
}

void MainFrame::OnAllListRsp(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdAllListRsp*>(command)->message;
  if (plan_tree_ == nullptr || reply.group_id() != plan_tree_->current_group())
    return;
  plan_tree_->ClearShownTypes();
  for (const qv::hallclient::listItem& list : reply.items())
    plan_tree_->AddType(list.list_id());
  plan_tree_->RemoveStaleTypes();
}

void MainFrame::OnAllPlanRsp(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdAllPlanRsp*>(command)->message;
  if (plan_tree_ != nullptr && reply.group_id() == plan_tree_->current_group())
    ShowListPlans(reply.list_id(), reply.group_id());
  if (reply.list_id() == qvc::PlanList::kRecommendedListId && hot_list_ != nullptr)
    hot_list_->Refresh();
}

void MainFrame::OnPlanAllStartPoint(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdPlanAllStartPoint*>(command)->message;
  if (plan_tree_ != nullptr)
    plan_tree_->RefreshPlanRow(reply.plan_id());
  qvc::PostTraceText((" 开赛点更新:plan_id=" + std::to_string(reply.plan_id())).c_str());
}

void MainFrame::OnJoinRsp(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdJoinRsp*>(command)->message;
  if (reply.join_result() == qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED &&
      plan_tree_ != nullptr)
    plan_tree_->RefreshPlanRow(HallPlanId(reply.plan_id()));
  if (hot_list_ != nullptr)
    hot_list_->Refresh();
  if (qvc::PlanList* catalogue = gate_ != nullptr ? gate_->catalogue() : nullptr)
    catalogue->RefreshPlans(true);
}

void MainFrame::OnMatchPrize(qv::CMD_base* command) {
  const auto& prize = static_cast<qv::CmdMatchPrize*>(command)->message;
  if (plan_tree_ != nullptr)
    plan_tree_->RefreshPlanRow(prize.plan_id());
  if (hot_list_ != nullptr)
    hot_list_->Refresh();
}

LRESULT MainFrame::OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  const WPARAM command = wParam & 0xFFF0;
  handled = FALSE;
  if (command != SC_MAXIMIZE && command != SC_RESTORE)
    return 0;
  const bool maximize = command == SC_MAXIMIZE;
  if (maximize == maximized_)
    return 0;
  handled = TRUE;
  // The window fills the screen, or goes back to its own size, centred either way.
  if (maximize) {
    const SIZE screen = skinui::CurrentBackend().ScreenSize();
    ResizeClient(screen.cx, screen.cy);
  } else {
    ResizeClient(kMainWindowWidth, kMainWindowHeight);
  }
  CenterWindow();
  maximized_ = maximize;
  if (skinui::CControlUI* max = m_pm.FindControl("maxbtn"))
    max->SetVisible(!maximized_);
  if (skinui::CControlUI* restore = m_pm.FindControl("restorebtn"))
    restore->SetVisible(maximized_);
  return 0;
}

void MainFrame::OnFinalMessage(HWND hwnd) {
  WindowImplBase::OnFinalMessage(hwnd);
  SetDialogOwnerWindow(nullptr);
  delete this;
}

}  // namespace hall
