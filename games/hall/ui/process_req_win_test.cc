#include "games/hall/ui/process_req_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hall {
namespace {

using Log = std::vector<std::string>;

class Recorder : public ProcessReqWin {
 public:
  Recorder(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  void OnNetResult(qv::CMD_base*, uint32_t a, uint32_t) override {
    log_->push_back(name_ + ":" + std::to_string(a));
    if (on_result)
      on_result(a);
  }
  std::function<void(uint32_t)> on_result;

 private:
  std::string name_;
  Log* log_;
};

ProcessReqWinRegistry& Registry() {
  return ProcessReqWinRegistry::Instance();
}

TEST(HallProcessReqWin, WindowsAreListedOnceInRegistrationOrderWhileTheyLive) {
  Log log;
  {
    Recorder a("a", &log);
    Recorder b("b", &log);
    Registry().Add(&a);  // a second registration is not a second entry
    EXPECT_EQ(Registry().registered(), (std::list<ProcessReqWin*>{&a, &b}));
    Registry().Dispatch(nullptr, 1, 0);
  }
  EXPECT_TRUE(Registry().registered().empty());
  EXPECT_EQ(log, (Log{"a:1", "b:1"}));
}

TEST(HallProcessReqWin, ChangesDuringAWalkTakeEffectForTheNextResult) {
  Log log;
  Recorder a("a", &log);
  Recorder b("b", &log);
  std::unique_ptr<Recorder> late;
  a.on_result = [&](uint32_t n) {
    if (n == 1) {
      Registry().Remove(&a);  // removes itself
      late = std::make_unique<Recorder>("late", &log);
    }
  };
  Registry().Dispatch(nullptr, 1, 0);
  Registry().Dispatch(nullptr, 2, 0);
  EXPECT_EQ(log, (Log{"a:1", "b:1", "b:2", "late:2"}));
}

TEST(HallProcessReqWin, ANestedWalkDoesNotApplyChangesUnderTheOuterOne) {
  Log log;
  Recorder a("a", &log);
  Recorder b("b", &log);
  Recorder c("c", &log);
  // a's handler runs a modal loop in which the next result is offered; b leaves during that inner
  // walk. The outer walk must still reach c, and b must stay listed until the outer walk ends.
  a.on_result = [&](uint32_t n) {
    if (n != 1)
      return;
    b.on_result = [&](uint32_t m) {
      if (m == 2)
        Registry().Remove(&b);
    };
    Registry().Dispatch(nullptr, 2, 0);
    EXPECT_TRUE(Registry().dispatching());
    EXPECT_EQ(Registry().registered().size(), 3u);
  };
  Registry().Dispatch(nullptr, 1, 0);
  EXPECT_FALSE(Registry().dispatching());
  EXPECT_EQ(Registry().registered(), (std::list<ProcessReqWin*>{&a, &c}));
  EXPECT_EQ(log, (Log{"a:1", "a:2", "b:2", "c:2", "c:1"}));
}

TEST(HallProcessReqWin, AWindowDestroyedDuringAWalkIsNotCalledAgainInIt) {
  Log log;
  Recorder a("a", &log);
  auto doomed = std::make_unique<Recorder>("doomed", &log);
  // The handler of a runs a loop that ends the later window (its WM_CLOSE arrives meanwhile).
  a.on_result = [&](uint32_t) { doomed.reset(); };
  Registry().Dispatch(nullptr, 1, 0);  // ASan reports a call into the freed window
  EXPECT_EQ(log, Log{"a:1"});
  EXPECT_EQ(Registry().registered(), std::list<ProcessReqWin*>{&a});
}

TEST(HallProcessReqWin, AWindowMadeAndEndedWithinOneWalkNeverJoins) {
  Log log;
  Recorder a("a", &log);
  a.on_result = [&](uint32_t) { Recorder brief("brief", &log); };
  Registry().Dispatch(nullptr, 1, 0);
  EXPECT_EQ(Registry().registered(), std::list<ProcessReqWin*>{&a});
}

}  // namespace
}  // namespace hall
