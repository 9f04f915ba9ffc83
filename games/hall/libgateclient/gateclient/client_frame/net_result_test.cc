#include "gateclient/client_frame/net_result.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/hall/text/code_page.h"
#include "gateclient/base/lambda_function.h"

namespace qvc {
namespace {

// A command that reports its own destruction.
struct Probe : qv::CMD_base {
  explicit Probe(bool* destroyed) : CMD_base(18, 14), destroyed(destroyed) {}
  ~Probe() override { *destroyed = true; }
  bool* destroyed;
};

uint32_t Count(qv::CMD_base* command) {
  return static_cast<qv::CommonDeleteHandler*>(command->releaser)->count();
}

// Keeps what is posted; refuses when told to.
class CapturingPoster : public NetResultPoster {
 public:
  bool PostToMainWindow(uint32_t message, NetResultRecord* record) override {
    messages.push_back(message);
    if (refuse) return false;
    records.push_back(record);
    return true;
  }
  // Handles every queued record as the window does.
  void Drain() {
    for (NetResultRecord* record : records) FinishNetResult(record);
    records.clear();
  }
  ~CapturingPoster() override { Drain(); }

  bool refuse = false;
  std::vector<uint32_t> messages;
  std::vector<NetResultRecord*> records;
};

class NetResultTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMainWindowPoster(&poster_); }
  void TearDown() override {
    SetMainWindowPoster(nullptr);
    hall::SetAnsiCodePage("");
  }
  std::string OnlyText() {
    EXPECT_EQ(poster_.records.size(), 1u);
    if (poster_.records.empty()) return "<none>";
    EXPECT_EQ(poster_.records[0]->command->kind, 5);
    EXPECT_EQ(poster_.records[0]->app_session, 0u);
    return poster_.records[0]->command->payload;
  }
  CapturingPoster poster_;
};

TEST_F(NetResultTest, WithoutAMainWindowNothingIsTakenAndTheJobThreadsReleaseFrees) {
  SetMainWindowPoster(nullptr);
  bool destroyed = false;
  auto* command = new Probe(&destroyed);
  qv::AttachReleaser(command);
  PostNetResult(command, 7);
  EXPECT_EQ(Count(command), 1u);
  qv::ReleaseCommand(command);
  EXPECT_TRUE(destroyed);
  PostTraceText("trace");
  EXPECT_TRUE(poster_.messages.empty());
}

TEST_F(NetResultTest, HandledRecordGivesTheReferenceBackAndTheLastReleaseFrees) {
  bool destroyed = false;
  auto* command = new Probe(&destroyed);
  qv::AttachReleaser(command);
  PostNetResult(command, 0x1122334455667788ull);
  ASSERT_EQ(poster_.records.size(), 1u);
  EXPECT_EQ(poster_.messages[0], 1144u);
  EXPECT_EQ(poster_.records[0]->command, command);
  EXPECT_EQ(poster_.records[0]->app_session, 0x1122334455667788ull);
  EXPECT_EQ(Count(command), 2u);
  poster_.Drain();
  EXPECT_EQ(Count(command), 1u);
  qv::ReleaseCommand(command);
  EXPECT_TRUE(destroyed);
}

TEST_F(NetResultTest, RefusedPostTakesTheReferenceBackAndFreesTheRecord) {
  poster_.refuse = true;
  bool destroyed = false;
  auto* command = new Probe(&destroyed);
  qv::AttachReleaser(command);
  PostNetResult(command, 1);
  EXPECT_EQ(poster_.messages.size(), 1u);
  EXPECT_EQ(Count(command), 1u);  // under ASan a lost record would also show as a leak
  PostTraceText("refused text");  // its command and string must be freed, not leaked
  qv::ReleaseCommand(command);
  EXPECT_TRUE(destroyed);
}

TEST_F(NetResultTest, TraceTextsAreCutAtWholeCharactersAndTerminated) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::string chinese = "连接gate 断开";
  const Case cases[] = {
      {std::string(5000, 'a'), std::string(4095, 'a')},
      {std::string(4095, 'b'), std::string(4095, 'b')},
      {"", ""},
      {chinese, chinese},
      // 4094 units then a character outside the BMP: the pair does not fit and is dropped whole.
      {std::string(4094, 'c') + "\xF0\x9F\x98\x80", std::string(4094, 'c')},
  };
  for (const Case& c : cases) {
    PostTraceText(c.text.c_str());
    EXPECT_EQ(OnlyText(), c.expected) << c.text.substr(0, 20);
    poster_.Drain();
  }
  PostTraceText(nullptr);
  EXPECT_EQ(OnlyText(), "");
}

TEST_F(NetResultTest, TraceTextReachesTheWindowInTheAnsiCodePage) {
  ASSERT_TRUE(hall::SetAnsiCodePage(hall::kGbkCodePage));
  PostTraceText("报名成功");
  EXPECT_EQ(OnlyText(), "\xB1\xA8\xC3\xFB\xB3\xC9\xB9\xA6");
  poster_.Drain();
  // 8191 bytes of GBK hold 4095 two-byte characters; 4095 UTF-16 units cut first.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "报";
  PostTraceText(many.c_str());
  std::string ansi = OnlyText();
  EXPECT_EQ(ansi.size(), 8190u);
  EXPECT_EQ(ansi.substr(0, 2), "\xB1\xA8");
}

int g_text_deleted = 0;
void CountingDelete(std::string* text) {
  ++g_text_deleted;
  DeleteTraceText(text);
}

TEST_F(NetResultTest, TextCommandFreesItsStringExactlyOnceWhetherRunOrNot) {
  g_text_deleted = 0;
  auto* unrun = new qv::CMD_LambdaFunction<std::string*>(&CountingDelete, 0, new std::string("x"));
  qv::ReleaseCommand(unrun);
  EXPECT_EQ(g_text_deleted, 1);

  auto* run = new qv::CMD_LambdaFunction<std::string*>(&CountingDelete, 0, new std::string("y"));
  run->Run();
  qv::ReleaseCommand(run);
  EXPECT_EQ(g_text_deleted, 2);
  DeleteTraceText(nullptr);  // the stored call copes with a null text
}

TEST_F(NetResultTest, ClearingTheWindowStopsFurtherPosts) {
  EXPECT_TRUE(HasMainWindow());
  SetMainWindowPoster(nullptr);
  EXPECT_FALSE(HasMainWindow());
  bool destroyed = false;
  auto* command = new Probe(&destroyed);
  qv::AttachReleaser(command);
  PostNetResult(command, 0);
  PostTraceText("late");
  EXPECT_TRUE(poster_.messages.empty());
  qv::ReleaseCommand(command);
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace qvc
