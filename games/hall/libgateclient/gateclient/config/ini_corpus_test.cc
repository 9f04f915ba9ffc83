// Replays the ini fuzzer's kept inputs: each one's saved text reads back into the same tables.
#include <gtest/gtest.h>

#include "gateclient/config/ini_text_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(IniCorpusTest, EveryKeptTextSurvivesSaveAndReload) {
  testing_corpus::ReplayCorpus(INI_CORPUS_DIR, &ini_check::CheckIniRoundTrip);
}

}  // namespace
