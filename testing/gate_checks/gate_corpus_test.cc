// Replays the gate fuzzers' corpora: every stream and every run of decoded frames keeps the
// properties that the fuzz targets check.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "testing/gate_checks/gate_command_check.h"
#include "testing/gate_checks/gate_stream_check.h"

namespace gatecheck {
namespace {

template <typename Check>
void ReplayCorpus(const char* dir, Check check) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &bytes)) << entry.path();
    EXPECT_EQ(check(bytes), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
}

TEST(GateCorpusTest, EveryStreamKeepsItsFrames) {
  ReplayCorpus(GATE_STREAM_CORPUS_DIR, &CheckGateStream);
}

TEST(GateCorpusTest, EveryRunOfCommandsIsHandledSoundly) {
  ReplayCorpus(GATE_COMMANDS_CORPUS_DIR, &CheckGateCommands);
}

}  // namespace
}  // namespace gatecheck
