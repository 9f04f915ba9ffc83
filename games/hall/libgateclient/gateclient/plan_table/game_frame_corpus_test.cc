// Replays the fuzzer's corpus of game messages through the frame decoders and a plan table.
#include <gtest/gtest.h>

#include <string>

#include "gateclient/plan_table/game_frame_check.h"
#include "testing/corpus/corpus_replay.h"

namespace qvc {
namespace {

TEST(GameFrameCorpusTest, EveryMessageIsHandled) {
  testing_corpus::ReplayCorpus(FRAME_CORPUS_DIR, &frame_check::CheckGameFrame);
}

}  // namespace
}  // namespace qvc
