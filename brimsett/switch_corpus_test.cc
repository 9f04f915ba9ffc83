// Replays the command-line fuzzer's kept inputs: each parameter text splits and reads as the C
// runtime's rules and the switch rules say, and each set of the hall's values arrives unchanged.
#include <gtest/gtest.h>

#include "brimsett/switch_checks.h"
#include "testing/corpus/corpus_replay.h"

namespace brimsett {
namespace {

TEST(SwitchCorpusTest, EveryKeptCommandLineArrivesAsMeant) {
  testing_corpus::ReplayCorpus(SWITCH_CORPUS_DIR, &CheckCommandLine);
}

}  // namespace
}  // namespace brimsett
