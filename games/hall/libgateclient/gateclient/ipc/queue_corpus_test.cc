// Replays the fuzzer's corpus of damaged shared areas: every call on the damaged queue keeps to
// its contract, and a queue rebuilt after a corrupt message carries messages again.
#include <gtest/gtest.h>

#include <string>

#include "gateclient/ipc/queue_memory_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(QueueCorpusTest, EveryDamagedAreaIsHandled) {
  testing_corpus::ReplayCorpus(QUEUE_CORPUS_DIR, &queue_check::CheckQueueMemory);
}

}  // namespace
