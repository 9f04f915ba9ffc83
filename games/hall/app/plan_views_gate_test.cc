// The catalogue views over a real connection: the hall runtime logs in to the local gate, whose
// catalogue of a few hundred named plans reaches the views through the hand-over to the window,
// as the main window passes the catalogue's answers on; drawn for real (SDL offscreen).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/testing/catalogue_service.h"
#include "games/hall/app/testing/plan_views_fixture.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/command/typed_commands.h"
#include "interface/command_ids.h"
#include "skinui/sdl/sdl_backend.h"
#include "testing/gate/hall_services.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using namespace std::chrono_literals;
namespace hcmd = qv::cmd::hallclient;

// The main window's poster: records go to the window's queue once it has one.
class WindowPoster : public qvc::NetResultPoster {
 public:
  void SetWindow(HWND window) { window_.store(window); }
  bool PostToMainWindow(uint32_t message, qvc::NetResultRecord* record) override {
    const HWND window = window_.load();
    return window != nullptr &&
           skinui::PostMessage(window, message, 0, reinterpret_cast<LPARAM>(record));
  }

 private:
  std::atomic<HWND> window_{nullptr};
};

// The views' host taking the catalogue's answers as the main window does.
class GateHost : public testing::PlanViewsHost {
 public:
  using PlanViewsHost::PlanViewsHost;

  LRESULT HandleCustomMessage(UINT message, WPARAM, LPARAM lParam, BOOL& handled) override {
    if (message != qvc::kWmNetResult)
      return 0;
    handled = TRUE;
    auto* record = reinterpret_cast<qvc::NetResultRecord*>(lParam);
    OnResult(record->command);
    qvc::FinishNetResult(record);
    return 0;
  }

 private:
  void OnResult(qv::CMD_base* command) {
    if (command->kind != qv::cmd::kKindHallClient)
      return;
    if (command->subid == hcmd::kAllGroupRsp) {
      bar()->Rebuild();
    } else if (auto* lists = dynamic_cast<qv::CmdAllListRsp*>(command)) {
      if (lists->message.group_id() != tree()->current_group())
        return;
      tree()->ClearShownTypes();
      for (const auto& item : lists->message.items())
        tree()->AddType(item.list_id());
      tree()->RemoveStaleTypes();
    } else if (auto* plans = dynamic_cast<qv::CmdAllPlanRsp*>(command)) {
      if (plans->message.group_id() == tree()->current_group())
        ShowListPlans(plans->message.list_id(), plans->message.group_id());
      if (plans->message.list_id() == qvc::PlanList::kRecommendedListId)
        hot()->Refresh();
    } else if (auto* point = dynamic_cast<qv::CmdPlanAllStartPoint*>(command)) {
      tree()->RefreshPlanRow(point->message.plan_id());
    }
  }
};

int64_t Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

// Plans of the group the tree shows whose rows have their start points.
int RowsWithStartPoints(UIPlanList& tree) {
  int count = 0;
  for (const auto& type : tree.root().children()) {
    for (const auto& item : type->children()) {
      if (item->data().signup_button != nullptr && item->data().signup_button->IsVisible())
        ++count;
    }
  }
  return count;
}

TEST(PlanViewsOverTheGate, AFewHundredPlansFromTheLocalGateFillTheViewsAndFollowTheGroup) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
  ASSERT_TRUE(backend->ok()) << backend->error();
  skinui::SetBackend(backend);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);

  constexpr int kPlansPerGroup = 120;
  testgate::LocalGate gate;
  testgate::HallServices services(gate);
  testing::CatalogueService catalogue(gate, testing::MakeSampleHall(3, kPlansPerGroup, Today()));
  ASSERT_TRUE(gate.Start());
  update_server::TempFolder folder("tvx_plan_views_gate");
  ASSERT_TRUE(
      update_server::PutFile(folder.path(), "LobbyData/addr.ini",
                             "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate.port()) + "\n"));

  WindowPoster poster;
  HallRuntimeOptions options;
  options.program_folder = folder.path();
  options.poster = &poster;
  HallRuntime runtime(options);
  MyMatch my_match;
  std::vector<uint32_t> signups;
  PlanViewLinks links;
  links.gate = &runtime;
  links.my_match = &my_match;
  links.begin_signup = [&](uint32_t plan_id) { signups.push_back(plan_id); };
  GateHost window(links, "main_frame.xml");
  window.Open();
  poster.SetWindow(window.GetHWND());
  skinui::TestDriver driver;
  // Whatever happens, nothing is posted once the window goes, and what was posted is handled.
  struct Cleanup {
    HallRuntime& runtime;
    testgate::LocalGate& gate;
    GateHost& window;
    skinui::TestDriver& driver;
    ~Cleanup() {
      runtime.Stop();
      gate.Stop();
      driver.RunUntilIdle();
      window.DestroyWindow();
      skinui::SetBackend(nullptr);
    }
  } cleanup{runtime, gate, window, driver};

  ASSERT_TRUE(runtime.Start());
  runtime.SetCredentials("dora", "pa55");
  runtime.StartLogin();
  const auto filled = [&](uint32_t group, int rows) {
    return qvc::e2e::WaitUntil(
        [&] {
          driver.RunUntilIdle();
          return window.tree()->current_group() == group &&
                 RowsWithStartPoints(*window.tree()) == rows &&
                 window.hot()->rows().size() == HotMatchList::kMaxRows;
        },
        20s);
  };
  ASSERT_TRUE(filled(1, kPlansPerGroup)) << RowsWithStartPoints(*window.tree());
  EXPECT_EQ(window.bar()->options().size(), 3u);
  EXPECT_EQ(window.bar()->SelectedGroup(), 1u);
  EXPECT_EQ(window.tree()->root().children().size(), 4u);
  EXPECT_EQ(window.tree()->GetCount(), 4 + kPlansPerGroup);
  // A timed plan (n = 2: plan 1002, list 104) shows when it starts, today or tomorrow.
  PlanTreeNode* timed = window.tree()->FindItem(104, 1002);
  ASSERT_NE(timed, nullptr);
  const std::string start = timed->data().row->FindByName("txt_start_time")->GetText();
  EXPECT_TRUE(start.rfind("今天 ", 0) == 0 || start.rfind("明天 ", 0) == 0) << start;
  EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(
      window, ::testing::TempDir() + "plan_views_gate_group1.png"));

  // The user chooses the second game: its lists and start points come from the gate.
  ASSERT_TRUE(driver.ClickControl(window, window.bar()->FindOption(2)));
  ASSERT_TRUE(filled(2, kPlansPerGroup)) << RowsWithStartPoints(*window.tree());
  EXPECT_NE(window.tree()->FindItem(101, 2000), nullptr);
  EXPECT_EQ(window.tree()->FindItem(101, 1000), nullptr);
  window.tree()->SetScrollPos(window.tree()->GetScrollRange() / 2);
  driver.RunUntilIdle();
  EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(
      window, ::testing::TempDir() + "plan_views_gate_group2.png"));

  window.tree()->SetScrollPos(window.tree()->GetScrollRange());
  driver.RunUntilIdle();
  EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(window, ::testing::TempDir() +
                                                             "plan_views_gate_timed.png"));

  // A row's button starts the sign-up flow with its plan.
  PlanTreeNode* first = window.tree()->FindItem(101, 2000);
  window.tree()->EnsureVisible(window.tree()->GetItemIndex(first->data().row));
  driver.RunUntilIdle();
  ASSERT_TRUE(driver.ClickControl(window, first->data().signup_button));
  EXPECT_EQ(signups, (std::vector<uint32_t>{2000}));
}

}  // namespace
}  // namespace hall
