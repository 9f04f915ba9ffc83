// Replays the applier fuzzer's kept inputs: whatever the lists and the staging folder hold, the
// applier changes nothing outside the installation and staging folders.
#include <gtest/gtest.h>

#include <string>

#include "brimsett/applier_checks.h"
#include "testing/corpus/corpus_replay.h"

namespace brimsett {
namespace {

TEST(ApplierCorpusTest, EveryKeptInputStaysInsideItsFolders) {
  testing_corpus::ReplayCorpus(APPLIER_CORPUS_DIR, &CheckApplierRun);
}

}  // namespace
}  // namespace brimsett
