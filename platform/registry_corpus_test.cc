// Replays the registry fuzzer's kept inputs: each file reads as a tree or is refused, and each
// tree, read or edited, writes out to a file that reads back the same.
#include <gtest/gtest.h>

#include "platform/registry_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(RegistryCorpusTest, EveryKeptInputReadsAndWritesBack) {
  testing_corpus::ReplayCorpus(REGISTRY_CORPUS_DIR, &registry_check::CheckRegistryInput);
}

}  // namespace
