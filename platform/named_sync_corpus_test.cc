// Replays the named-sync fuzzer's kept scripts: whatever the game writes into the mutex and event
// segments, each call gives what the segment's words say, and returns.
#include <gtest/gtest.h>

#include "platform/named_sync_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(NamedSyncCorpusTest, EveryKeptScriptEndsInTheResultsTheWordsGive) {
  testing_corpus::ReplayCorpus(SYNC_CORPUS_DIR, &sync_check::CheckNamedSync);
}

}  // namespace
