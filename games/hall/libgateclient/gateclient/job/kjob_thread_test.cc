#include "gateclient/job/kjob_thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "gateclient/base/lambda_function.h"

namespace {

using ::testing::ElementsAre;

// Records what the pool did to it, with the elapsed-time reading of the clock at that moment.
class RecordingHandler : public ICmdProcess {
 public:
  RecordingHandler(std::string name, std::vector<std::string>* log, std::mutex* mu)
      : name_(std::move(name)), log_(log), mu_(mu) {}

  bool OnAttach(uint32_t, IJobProcessPool* pool) override {
    Add("attach " + name_ + (pool != nullptr ? "" : " null"));
    return true;
  }
  void Reset() override {}
  void OnCommand(qv::CMD_base* command, uint32_t) override {
    Add(name_ + " " + std::to_string(command->kind) + "/" + std::to_string(command->subid) + " " +
        command->payload);
  }
  void OnTimer(uint64_t now_ms, uint32_t) override {
    Add("timer " + name_ + " " + std::to_string(now_ms));
  }

 private:
  void Add(std::string entry) {
    std::lock_guard<std::mutex> lock(*mu_);
    log_->push_back(std::move(entry));
  }
  std::string name_;
  std::vector<std::string>* log_;
  std::mutex* mu_;
};

// A heap command with a releaser that counts its destruction.
class TracedCommand : public qv::CMD_base {
 public:
  TracedCommand(uint16_t kind, uint16_t subid, std::string tag, int64_t delay_ms,
                std::atomic<int>* destroyed)
      : CMD_base(kind, subid), destroyed_(destroyed) {
    payload = std::move(tag);
    delay = delay_ms;
    qv::AttachReleaser(this);
  }
  ~TracedCommand() override { destroyed_->fetch_add(1); }

 private:
  std::atomic<int>* destroyed_;
};

// One pool on a hand-driven clock whose rounds the test grants one by one.
class JobThreadTest : public ::testing::Test {
 protected:
  JobThreadTest() : waiter_(&clock_), pool_(new KJobThread(clock_, waiter_)) {}
  ~JobThreadTest() override { Shutdown(); }

  void Shutdown() {
    if (pool_ == nullptr)
      return;
    pool_->Stop();
    waiter_.Open();
    pool_->WaitAndDestroy();
    pool_ = nullptr;
  }

  qv::CMD_base* Command(uint16_t kind, uint16_t subid, std::string tag, int64_t delay = 0) {
    return new TracedCommand(kind, subid, std::move(tag), delay, &destroyed_);
  }

  std::vector<std::string> TakeLog() {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::string> out;
    out.swap(log_);
    return out;
  }

  // The log without timer rounds, for tests about commands.
  std::vector<std::string> TakeCommandLog() {
    std::vector<std::string> out;
    for (std::string& entry : TakeLog()) {
      if (entry.rfind("timer ", 0) != 0)
        out.push_back(std::move(entry));
    }
    return out;
  }

  // Runs rounds until the elapsed time reaches `ms` (rounds are 20 ms apart).
  void RunUntil(uint64_t ms) {
    while (clock_.TickCount() < ms)
      waiter_.Step();
  }

  platform::ManualClock clock_{0};
  platform::ManualWaiter waiter_;
  KJobThread* pool_;
  std::mutex mu_;
  std::vector<std::string> log_;
  std::atomic<int> destroyed_{0};
  RecordingHandler client_{"client", &log_, &mu_};
  RecordingHandler match_{"match", &log_, &mu_};
  RecordingHandler fallback_{"default", &log_, &mu_};
};

TEST_F(JobThreadTest, ImmediateCommandsRunFirstInFirstOutInTheNextRound) {
  pool_->RegisterProcess(&client_, 13);
  pool_->PostCommand(Command(13, 1, "a"));
  pool_->PostCommand(Command(13, 2, "b"));
  ASSERT_TRUE(pool_->Start(0));
  EXPECT_FALSE(pool_->Start(0));  // one worker per pool
  waiter_.Step();
  EXPECT_THAT(TakeLog(), ElementsAre("attach client", "client 13/1 a", "client 13/2 b"));
  EXPECT_EQ(destroyed_.load(), 2);

  pool_->PostCommand(Command(13, 3, "c"));
  EXPECT_THAT(TakeLog(), ElementsAre());  // posting does not wake the worker
  waiter_.Step();
  EXPECT_THAT(TakeLog(), ElementsAre("client 13/3 c"));
  EXPECT_EQ(destroyed_.load(), 3);
}

TEST_F(JobThreadTest, DelayedCommandsRunInTheFirstRoundAtOrAfterTheirDueTime) {
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  pool_->PostCommand(Command(13, 1, "late", 1000));  // posted at 0 ms
  RunUntil(940);
  clock_.Advance(10);  // now 950 ms
  pool_->PostCommand(Command(13, 2, "soon", 100));
  EXPECT_THAT(TakeCommandLog(), ElementsAre("attach client"));

  std::vector<std::string> seen;
  while (clock_.TickCount() < 1100) {
    waiter_.Step();
    for (const std::string& entry : TakeCommandLog()) {
      seen.push_back(std::to_string(clock_.TickCount()) + " " + entry);
    }
  }
  // Rounds fall at 970, 990, 1010, 1030, 1050: due 1000 runs at 1010, due 1050 at 1050.
  EXPECT_THAT(seen, ElementsAre("1010 client 13/1 late", "1050 client 13/2 soon"));
  EXPECT_EQ(destroyed_.load(), 2);
}

TEST_F(JobThreadTest, CommandPostedAgainWhilePendingRunsForEachPost) {
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  waiter_.Step();
  TakeLog();

  qv::CMD_base* twice = Command(13, 5, "again", 100);
  qv::AddRefCommand(twice);  // one reference for each post
  pool_->PostCommand(twice);
  pool_->PostCommand(twice);
  RunUntil(200);
  EXPECT_THAT(TakeCommandLog(), ElementsAre("client 13/5 again", "client 13/5 again"));
  EXPECT_EQ(destroyed_.load(), 1);
}

TEST_F(JobThreadTest, CommandsDueInTheSameRoundRunInPostingOrder) {
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  pool_->PostCommand(Command(13, 1, "first", 30));
  pool_->PostCommand(Command(13, 2, "second", 25));
  pool_->PostCommand(Command(13, 3, "third", 30));
  RunUntil(40);
  EXPECT_THAT(TakeLog(), ElementsAre("attach client", "client 13/2 second", "client 13/1 first",
                                     "client 13/3 third"));
}

TEST_F(JobThreadTest, CommandWithoutHandlerIsReleasedExactlyOnce) {
  pool_->RegisterProcess(&client_, 13);
  int callbacks = 0;
  pool_->PostCommand(Command(14, 4, "nobody"));
  pool_->PostCommand(new qv::CMD_LambdaFunction<int*>([](int* n) { ++*n; }, 0, &callbacks));
  ASSERT_TRUE(pool_->Start(0));
  waiter_.Step();
  EXPECT_THAT(TakeLog(), ElementsAre("attach client"));
  EXPECT_EQ(destroyed_.load(), 1);
  EXPECT_EQ(callbacks, 1);  // a deferred callback runs when the pool releases it
}

TEST_F(JobThreadTest, DefaultHandlerTakesUnfiledKindsAndGetsTimerRounds) {
  pool_->RegisterProcess(&match_, 14);
  pool_->RegisterProcess(&fallback_, 0);
  pool_->RegisterProcess(&client_, 13);
  pool_->PostCommand(Command(14, 4, "m"));
  pool_->PostCommand(Command(18, 2, "h"));
  pool_->PostCommand(Command(0, 1, "z"));
  ASSERT_TRUE(pool_->Start(0));
  waiter_.Step();
  // The default handler is attached first, the others in ascending kind order.
  EXPECT_THAT(TakeLog(), ElementsAre("attach default", "attach client", "attach match",
                                     "match 14/4 m", "default 18/2 h", "default 0/1 z"));
  RunUntil(140);
  EXPECT_THAT(TakeLog(), ElementsAre("timer default 140", "timer client 140", "timer match 140"));
}

TEST_F(JobThreadTest, HandlerFiledUnderTwoKindsIsAttachedAndTimedPerKind) {
  pool_->RegisterProcess(&client_, 13);
  pool_->RegisterProcess(&client_, 18);
  ASSERT_TRUE(pool_->Start(0));
  RunUntil(140);
  EXPECT_THAT(TakeLog(), ElementsAre("attach client", "attach client", "timer client 140",
                                     "timer client 140"));
}

TEST_F(JobThreadTest, TimerSkipsTheFirstRoundThenFiresMoreThan100MsApart) {
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  RunUntil(400);
  // The first round (20 ms) only records; 120 ms later is the first gap above 100 ms.
  EXPECT_THAT(TakeLog(), ElementsAre("attach client", "timer client 140", "timer client 260",
                                     "timer client 380"));
}

TEST_F(JobThreadTest, ElapsedTimeSurvivesTheTickCounterWrapping) {
  clock_.SetTick(0xFFFFFFF0u);
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  pool_->PostCommand(Command(13, 1, "wrapped", 50));
  waiter_.Step(2);  // 40 ms elapsed
  EXPECT_THAT(TakeLog(), ElementsAre("attach client"));
  waiter_.Step();  // 60 ms elapsed, the tick has gone past 2^32
  EXPECT_THAT(TakeLog(), ElementsAre("client 13/1 wrapped"));
  waiter_.Step(4);
  EXPECT_THAT(TakeLog(), ElementsAre("timer client 140"));
}

TEST_F(JobThreadTest, DestroyingThePoolReleasesEveryQueuedCommand) {
  pool_->RegisterProcess(&client_, 13);
  ASSERT_TRUE(pool_->Start(0));
  waiter_.Step();
  pool_->PostCommand(Command(13, 1, "never", 0));
  pool_->PostCommand(Command(13, 2, "later", 60'000));
  Shutdown();
  EXPECT_THAT(TakeLog(), ElementsAre("attach client"));
  EXPECT_EQ(destroyed_.load(), 2);
}

TEST(JobThreadNeverStartedTest, DestroyReleasesQueuedCommands) {
  std::atomic<int> destroyed{0};
  auto* pool = new KJobThread();
  pool->PostCommand(new TracedCommand(13, 1, "", 0, &destroyed));
  pool->PostCommand(new TracedCommand(13, 1, "", 500, &destroyed));
  pool->WaitAndDestroy();
  EXPECT_EQ(destroyed.load(), 2);
}

// On the real clock and waiter: commands posted from other threads while the worker runs all
// arrive, and Stop ends and joins the worker.
TEST(JobThreadRealTimeTest, PostsFromManyThreadsAllArriveAndStopJoins) {
  class Counter : public ICmdProcess {
   public:
    bool OnAttach(uint32_t, IJobProcessPool*) override { return true; }
    void Reset() override {}
    void OnCommand(qv::CMD_base*, uint32_t) override {
      std::lock_guard<std::mutex> lock(mu);
      ++count;
      cv.notify_all();
    }
    void OnTimer(uint64_t, uint32_t) override {}
    std::mutex mu;
    std::condition_variable cv;
    int count = 0;
  } counter;

  constexpr int kThreads = 4;
  constexpr int kPerThread = 50;
  std::atomic<int> destroyed{0};
  auto* pool = new KJobThread();
  pool->RegisterProcess(&counter, 0);
  ASSERT_TRUE(pool->Start(0));
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        pool->PostCommand(new TracedCommand(13, 1, "", (i + t) % 3 == 0 ? 5 : 0, &destroyed));
      }
    });
  }
  for (auto& t : posters)
    t.join();
  {
    std::unique_lock<std::mutex> lock(counter.mu);
    ASSERT_TRUE(counter.cv.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return counter.count == kThreads * kPerThread; }));
  }
  pool->Stop();
  pool->WaitAndDestroy();
  EXPECT_EQ(destroyed.load(), kThreads * kPerThread);
}

}  // namespace
