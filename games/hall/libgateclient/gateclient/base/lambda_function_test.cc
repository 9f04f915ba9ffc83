#include "gateclient/base/lambda_function.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Count(int* calls) {
  ++*calls;
}

void Append(std::string* text) {
  text->append("x");
}

TEST(LambdaFunctionTest, IsADeferredCommandWithItsDelayAndOneReference) {
  platform::ManualClock clock(500);
  int calls = 0;
  auto* command = new qv::CMD_LambdaFunction<int*>(&Count, 250, &calls, clock);
  EXPECT_EQ(command->kind, 5);
  EXPECT_EQ(command->subid, 0);
  EXPECT_EQ(command->delay, 250);
  EXPECT_EQ(command->created(), 500u);
  ASSERT_NE(command->releaser, nullptr);
  EXPECT_EQ(static_cast<qv::CommonDeleteHandler*>(command->releaser)->count(), 1u);
  qv::ReleaseCommand(command);
  EXPECT_EQ(calls, 1);
}

TEST(LambdaFunctionTest, ReleasedWithoutRunCallsTheFunctionOnce) {
  std::string text;
  auto* command = new qv::CMD_LambdaFunction<std::string*>(&Append, 0, &text);
  qv::AddRefCommand(command);
  qv::ReleaseCommand(command);
  EXPECT_EQ(text, "");  // still referenced
  qv::ReleaseCommand(command);
  EXPECT_EQ(text, "x");
}

TEST(LambdaFunctionTest, RunTwiceCallsOnceAndReportsLatenessBothTimes) {
  platform::ManualClock clock(1000);
  int calls = 0;
  auto* command = new qv::CMD_LambdaFunction<int*>(&Count, 100, &calls, clock);

  clock.Advance(130);
  EXPECT_EQ(command->Run(), 30);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(command->ran());

  clock.Advance(20);
  EXPECT_EQ(command->Run(), 50);
  EXPECT_EQ(calls, 1);

  qv::ReleaseCommand(command);  // destructor does not call again
  EXPECT_EQ(calls, 1);
}

TEST(LambdaFunctionTest, LatenessIsSignedAndSurvivesTickWrap) {
  struct Case {
    uint32_t created;
    uint32_t delay;
    uint32_t advance;
    int32_t lateness;
  };
  const Case cases[] = {
      {1000, 100, 40, -60},         // early
      {0xFFFFFFF0u, 100, 120, 20},  // tick wrapped between creation and run
      {0xFFFFFF00u, 0x200, 0x100, -0x100},
  };
  for (const Case& c : cases) {
    platform::ManualClock clock(c.created);
    int calls = 0;
    auto* command = new qv::CMD_LambdaFunction<int*>(&Count, c.delay, &calls, clock);
    clock.Advance(c.advance);
    EXPECT_EQ(command->Run(), c.lateness) << c.created << " " << c.delay << " " << c.advance;
    qv::ReleaseCommand(command);
    EXPECT_EQ(calls, 1);
  }
}

}  // namespace
