// Replays the pending-deletions fuzzer's kept records: a retry removes nothing outside the
// record's folder and keeps only what it could not remove there.
#include <gtest/gtest.h>

#include "platform/pending_deletions_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(PendingDeletionsCorpusTest, EveryKeptRecordRemovesOnlyBesideItself) {
  testing_corpus::ReplayCorpus(PENDING_CORPUS_DIR, &pending_check::CheckPendingDeletions);
}

}  // namespace
