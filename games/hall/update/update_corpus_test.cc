// Replays the fuzzers' kept inputs: every check-list, list path, list-file URL, resume record and log line
// in fuzz/corpus/ still meets the properties the fuzzers check.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "games/hall/update/input_checks.h"
#include "platform/file_util.h"

namespace hall {
namespace {

struct Corpus {
  const char* folder;
  std::function<std::string(std::string_view)> check;
};

TEST(UpdateCorpusTest, EveryKeptInputMeetsItsProperties) {
  const Corpus corpora[] = {
      {"check_list", CheckListText},
      {"list_paths", CheckListPath},
      {"url",
       [](std::string_view input) {
         // The first byte picks the base, as in the fuzzer.
         if (input.empty())
           return std::string();
         return CheckListFileUrl(static_cast<unsigned char>(input[0]), input.substr(1));
       }},
      {"resume_record", CheckResumeRecordText},
      {"update_log", CheckUpdateLogLine},
  };
  for (const Corpus& corpus : corpora) {
    SCOPED_TRACE(corpus.folder);
    size_t inputs = 0;
    const std::string folder = std::string(UPDATE_CORPUS_DIR) + "/" + corpus.folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::string text;
      ASSERT_TRUE(platform::ReadFile(entry.path().string(), &text)) << entry.path();
      EXPECT_EQ(corpus.check(text), "") << entry.path();
      ++inputs;
    }
    EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
  }
}

}  // namespace
}  // namespace hall
