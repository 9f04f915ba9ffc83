// Replays the gate fuzzers' corpora: every stream and every run of decoded frames keeps the
// properties that the fuzz targets check.
#include <gtest/gtest.h>

#include <string>

#include "testing/corpus/corpus_replay.h"
#include "testing/gate_checks/gate_command_check.h"
#include "testing/gate_checks/gate_stream_check.h"

namespace gatecheck {
namespace {

using testing_corpus::ReplayCorpus;

TEST(GateCorpusTest, EveryStreamKeepsItsFrames) {
  ReplayCorpus(GATE_STREAM_CORPUS_DIR, &CheckGateStream);
}

TEST(GateCorpusTest, EveryRunOfCommandsIsHandledSoundly) {
  ReplayCorpus(GATE_COMMANDS_CORPUS_DIR, &CheckGateCommands);
}

}  // namespace
}  // namespace gatecheck
