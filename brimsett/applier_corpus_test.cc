// Replays the applier fuzzer's kept inputs: whatever the lists and the staging folder hold, the
// applier changes nothing outside the installation and staging folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "brimsett/applier_checks.h"
#include "platform/file_util.h"

namespace brimsett {
namespace {

TEST(ApplierCorpusTest, EveryKeptInputStaysInsideItsFolders) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(APPLIER_CORPUS_DIR)) {
    std::string text;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &text)) << entry.path();
    EXPECT_EQ(CheckApplierRun(text), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
}

}  // namespace
}  // namespace brimsett
