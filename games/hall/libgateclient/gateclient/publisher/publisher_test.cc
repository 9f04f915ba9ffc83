#include "gateclient/publisher/publisher.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qvc {
namespace {

// Records what it is given into a shared log; counts its own release.
class Recorder final : public ICmdSubscriber {
 public:
  Recorder(std::string name, std::vector<std::string>* log, bool keep = false)
      : name_(std::move(name)), log_(log), keep_(keep) {}
  int OnCommand(qv::CMD_base* command) override {
    log_->push_back(name_ + ":" + std::to_string(command->kind) + "," +
                    std::to_string(command->subid));
    if (on_command) on_command();
    return 0;
  }
  bool KeepSubscribed() override { return keep_; }
  void Release() override {
    log_->push_back(name_ + " released");
    delete this;
  }
  bool SetKeepSubscribed(bool keep) override { return keep_ = keep; }
  std::function<void()> on_command;

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool keep_;
};

TEST(PublisherTest, OrderOfKeysAndOneShots) {
  std::vector<std::string> log;
  {
    Publisher publisher;
    qv::CMD_base detail(18, 14), other(13, 2);
    publisher.Publish(&other);  // nobody subscribed: nothing
    EXPECT_TRUE(log.empty());

    publisher.Subscribe(new Recorder("all", &log, true), 0, 0);
    publisher.Subscribe(new Recorder("kind", &log, true), 18, 0);
    auto* once = new Recorder("once", &log);
    publisher.Subscribe(once, 18, 14);
    publisher.Subscribe(once, 18, 14);  // one entry
    publisher.Publish(&detail);
    publisher.Publish(&detail);  // the one-shot is gone
    publisher.Publish(&other);
    // Exact key, then kind, then everything; a one-shot is released when the walk ends.
    EXPECT_EQ(log, (std::vector<std::string>{"once:18,14", "kind:18,14", "all:18,14",
                                             "once released", "kind:18,14", "all:18,14",
                                             "all:13,2"}));
    log.clear();
  }
  // The standing subscribers are released with the publisher.
  EXPECT_EQ(log.size(), 2u);
}

TEST(PublisherTest, UnsubscribeOfAStrangerChangesNothing) {
  std::vector<std::string> log;
  Publisher publisher;
  auto* stranger = new Recorder("stranger", &log);
  publisher.Subscribe(new Recorder("kept", &log, true), 18, 14);
  publisher.Unsubscribe(stranger, 18, 14);
  publisher.Unsubscribe(stranger, 1, 1);
  EXPECT_TRUE(log.empty());
  stranger->Release();
  qv::CMD_base detail(18, 14);
  publisher.Publish(&detail);
  EXPECT_EQ(log.back(), "kept:18,14");
}

TEST(PublisherTest, ASubscriberRemovedDuringAWalkIsNotCalledOrFreedUnderIt) {
  std::vector<std::string> log;
  Publisher publisher;
  auto* first = new Recorder("first", &log, true);
  auto* second = new Recorder("second", &log, true);
  // The first removes the second (which is released) while the walk's snapshot still holds it.
  first->on_command = [&] { publisher.Unsubscribe(second, 18, 14); };
  publisher.Subscribe(first, 18, 14);
  publisher.Subscribe(second, 18, 14);
  qv::CMD_base detail(18, 14);
  publisher.Publish(&detail);
  EXPECT_EQ(log, (std::vector<std::string>{"first:18,14", "second released"}));
}

TEST(PublisherTest, ASubscriberUnderTwoKeysHearsBothAndLivesWhileFiled) {
  std::vector<std::string> log;
  Publisher publisher;
  auto* both = new Recorder("both", &log);
  publisher.Subscribe(both, 18, 14);
  publisher.Subscribe(both, 0, 0);
  qv::CMD_base detail(18, 14);
  publisher.Publish(&detail);
  // One-shot under each key: called once per key, released once, after its last key.
  EXPECT_EQ(log, (std::vector<std::string>{"both:18,14", "both:18,14", "both released"}));
}

TEST(PublisherTest, ResetForgetsWithoutReleasing) {
  std::vector<std::string> log;
  Publisher publisher;
  auto* kept = new Recorder("kept", &log, true);
  publisher.Subscribe(kept, 18, 14);
  publisher.Reset();
  qv::CMD_base detail(18, 14);
  publisher.Publish(&detail);
  EXPECT_TRUE(log.empty());
  kept->Release();
}

}  // namespace
}  // namespace qvc
