// Replays the fuzzer's corpus of damaged shared areas: every call on the damaged queue keeps to
// its contract, and a queue rebuilt after a corrupt message carries messages again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "gateclient/ipc/queue_memory_check.h"
#include "platform/file_util.h"

namespace {

TEST(QueueCorpusTest, EveryDamagedAreaIsHandled) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUEUE_CORPUS_DIR)) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &bytes)) << entry.path();
    EXPECT_EQ(queue_check::CheckQueueMemory(bytes), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
}

}  // namespace
