// Replays the fuzzer's corpus of game messages through the frame decoders and a plan table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "gateclient/plan_table/game_frame_check.h"
#include "platform/file_util.h"

namespace qvc {
namespace {

TEST(GameFrameCorpusTest, EveryMessageIsHandled) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FRAME_CORPUS_DIR)) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &bytes)) << entry.path();
    EXPECT_EQ(frame_check::CheckGameFrame(bytes), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
}

}  // namespace
}  // namespace qvc
