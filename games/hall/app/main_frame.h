// The hall's main window (skin "main_frame.xml", 600 x 800): the place where the gate client's
// results reach the window thread. Its first layout starts the hall runtime and shows the login
// dialog; afterwards it shows the player's face, nickname and funds, hosts the game-type bar, the
// plan tree and the hot-match list, and opens the lobby's web pages.
//
// Results arrive as WM_NET_RESULT, posted by the window's own NetResultPoster: the window offers
// each to its tables (login, funds, catalogue, joins and prizes), then to every registered result
// window, then drops its reference and frees the record. Posting stops before the window is
// destroyed; records still queued then are finished by the window, so none is lost or leaked.
//
// Window thread only, except PostToMainWindow (any thread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "games/hall/app/forwarding_hall_gate.h"
#include "games/hall/app/signup_flow.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/job/function_array.h"
#include "platform/clock.h"
#include "skinui/window_impl_base.h"

namespace platform {
class WebLinkOpener;
}

namespace hall {

class AccountStore;
class HallGate;
class HotMatchList;
class MyMatch;
class ProcessReqWinRegistry;
class UILeftGroup;
class UIPlanList;
struct AccountRecord;

inline constexpr int kMainWindowWidth = 600;
inline constexpr int kMainWindowHeight = 800;

// What the main window takes from the program (the start-up joins the real pieces; tests give
// stand-ins). Every pointer must outlive the window.
struct MainFrameEnv {
  std::string program_dir;  // holds LobbyData/
  MyMatch* my_match = nullptr;
  AccountRecord* account = nullptr;
  AccountStore* accounts = nullptr;
  ProcessReqWinRegistry* result_windows = nullptr;
  platform::WebLinkOpener* links = nullptr;
  const platform::Clock* clock = &platform::SystemClock();
  // Starts the hall runtime (settings, the hall's plan manager, the gate client) with the window's
  // poster and handle; the gate it returns lives until stop_hall. Null: the runtime did not start.
  std::function<HallGate*(qvc::NetResultPoster* poster, HWND window)> start_hall;
  // Ends the runtime: no result is posted afterwards and its threads are joined. Idempotent.
  std::function<void()> stop_hall;
  // The login dialog, modal: 1 when a login was started, 2 when the user left.
  std::function<UINT(HWND owner, HallGate& gate)> show_login;
  // The game list, loaded after each successful login, and its version check for sign-ups.
  std::function<void()> load_game_list;
  GameVersionCheck check_game_version;
  // Closes the update progress window when one is shown.
  std::function<void()> close_progress_window;
  // Starts a new hall that begins once this one has ended; false when it cannot be started.
  std::function<bool()> restart_hall;
  // The About box, modal.
  std::function<void(HWND owner)> show_about;
};

class MainFrame : public skinui::WindowImplBase, public qvc::NetResultPoster {
 public:
  explicit MainFrame(MainFrameEnv env);
  // Asks the thread's loop to end: the hall ends with its main window.
  ~MainFrame() override;

  const char* GetWindowClassName() const override { return "TarvixMainFrame"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "main_frame.xml"; }
  UINT GetResourceType() const override { return 1; }
  skinui::CControlUI* CreateControl(const char* class_name) override;
  void InitWindow() override;
  void Notify(skinui::TNotifyUI& msg) override;
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT ResponseDefaultKeyEvent(WPARAM key) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  const skinui::NotifyMapEntry* GetMessageMap() const override;

  // qvc::NetResultPoster: queues the record for this window (any thread).
  bool PostToMainWindow(uint32_t message, qvc::NetResultRecord* record) override;

  // "windowinit": starts the hall and shows the login dialog; closes the window when the user
  // leaves it without logging in.
  void OnWindowInit(skinui::TNotifyUI& msg);
  // "selectchanged": a group option of the bar switches the tree to that group.
  void OnSelectChanged(skinui::TNotifyUI& msg);
  // One result of the gate client, the application session in two halves.
  void OnNetResult(qv::CMD_base* command, uint32_t session_low, uint32_t session_high);

  // The tree shows the plans of `list_id` of `group_id` (when the catalogue holds them).
  void ShowListPlans(uint32_t list_id, uint32_t group_id);
  // The catalogue and the tree switch to `group_id`.
  void ShowGroup(uint32_t group_id);

  UILeftGroup* group_bar() const { return group_bar_; }
  UIPlanList* plan_tree() const { return plan_tree_; }
  HotMatchList* hot_list() const { return hot_list_; }
  HallGate* gate() const { return gate_; }

 protected:
  void OnFinalMessage(HWND hwnd) override;

 private:
  void OnLoginResult(qv::CMD_base* command);
  void OnLoginFailed(int result, const std::string& info);
  void OnFundResult(qv::CMD_base* command);
  void ShowFunds();
  void ShowFace(uint32_t face_id);
  void OpenLobbyLink(const char* key, const std::string& suffix = {});
  // Ends the hand-over: no post after it, and every record still queued is finished.
  void StopResults();

  // The catalogue's results (kind 18) and the match results (kind 14), by subid.
  void OnAllGroupRsp(qv::CMD_base* command);
  void OnAllListRsp(qv::CMD_base* command);
  void OnAllPlanRsp(qv::CMD_base* command);
  void OnPlanAllStartPoint(qv::CMD_base* command);
  void OnJoinRsp(qv::CMD_base* command);
  void OnMatchPrize(qv::CMD_base* command);

  MainFrameEnv env_;
  UILeftGroup* group_bar_ = nullptr;         // owned by the window's tree
  UIPlanList* plan_tree_ = nullptr;          // owned by the window's tree
  skinui::CControlUI* hall_info_ = nullptr;  // "richedit_hall_info"
  FunctionArray<MainFrame, 100> hall_table_;
  FunctionArray<MainFrame, 48> match_table_;
  HotMatchList* hot_list_ = nullptr;  // owned by the window's tree
  HallGate* gate_ = nullptr;          // from start_hall, until stop_hall
  SignupEnv signup_;
  bool started_ = false;
  bool maximized_ = false;
  ForwardingHallGate views_gate_;  // what the views reach the gate through

  std::mutex records_mu_;                    // guards the two fields below
  std::set<qvc::NetResultRecord*> records_;  // posted and not yet handled
  bool posting_ = true;
};

}  // namespace hall
