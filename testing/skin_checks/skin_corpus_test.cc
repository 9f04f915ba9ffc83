// Replays the skin fuzzer's kept inputs: each skin builds (or is refused), lays out and paints
// without reaching outside its resource folder or past an image.
#include <gtest/gtest.h>

#include "testing/corpus/corpus_replay.h"
#include "testing/skin_checks/skin_check.h"

namespace {

TEST(SkinCorpusTest, EveryKeptSkinBuildsLaysOutAndPaintsWithinItsFolder) {
  testing_corpus::ReplayCorpus(SKIN_CORPUS_DIR, &skin_check::CheckSkin);
}

}  // namespace
