#include "gateclient/log/debug_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_traces;

void Capture(const char* text) {
  g_traces.emplace_back(text);
}

class DebugTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_traces.clear();
    previous_ = SetDebugTraceOutput(&Capture);
  }
  void TearDown() override { SetDebugTraceOutput(previous_); }
  DebugTraceOutput previous_ = nullptr;
};

TEST_F(DebugTraceTest, FormatsLikePrintf) {
  DebugTrace("connect %s:%u id=%llu %d%%", "gate", 10168u, 5ull, 3);
  DebugTrace("plain");
  ASSERT_EQ(g_traces.size(), 2u);
  EXPECT_EQ(g_traces[0], "connect gate:10168 id=5 3%");
  EXPECT_EQ(g_traces[1], "plain");
}

TEST_F(DebugTraceTest, TextsOfAnyLengthAreCutNeverOverrun) {
  for (std::size_t length :
       {kDebugTraceMaxText - 1, kDebugTraceMaxText, kDebugTraceMaxText + 1, std::size_t{1} << 20}) {
    g_traces.clear();
    const std::string text(length, 'y');
    DebugTrace("%s", text.c_str());
    ASSERT_EQ(g_traces.size(), 1u);
    EXPECT_EQ(g_traces[0].size(), std::min(length, kDebugTraceMaxText)) << length;
  }
  g_traces.clear();
  const std::string text(kDebugTraceMaxText, 'z');
  DebugTrace("%s+tail", text.c_str());
  EXPECT_EQ(g_traces[0], text);
}

TEST_F(DebugTraceTest, RestoringTheDefaultStopsCapturing) {
  EXPECT_EQ(SetDebugTraceOutput(nullptr), &Capture);
  DebugTrace("to the default output");
  EXPECT_TRUE(g_traces.empty());
  SetDebugTraceOutput(&Capture);
}

}  // namespace
