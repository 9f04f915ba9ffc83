// Replays the fuzzers' kept inputs: every check-list, list path, list-file URL, resume record, log
// line and HTTP reply in fuzz/corpus/ still meets the properties the fuzzers check.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "games/hall/update/http_reply_check.h"
#include "games/hall/update/input_checks.h"
#include "testing/corpus/corpus_replay.h"

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
      {"http_reply", CheckHttpReply},
  };
  for (const Corpus& corpus : corpora) {
    SCOPED_TRACE(corpus.folder);
    testing_corpus::ReplayCorpus(std::string(UPDATE_CORPUS_DIR) + "/" + corpus.folder,
                                 corpus.check);
  }
}

}  // namespace
}  // namespace hall
