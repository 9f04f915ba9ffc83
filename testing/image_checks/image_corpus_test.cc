// Replays the image fuzzer's kept inputs: each decodes to nothing or to an image of its header's
// size within the caps, and the captcha control takes exactly what it can show.
#include <gtest/gtest.h>

#include "testing/corpus/corpus_replay.h"
#include "testing/image_checks/image_check.h"

namespace {

TEST(ImageCorpusTest, EveryKeptInputDecodesToItsHeadersSizeOrNothing) {
  testing_corpus::ReplayCorpus(IMAGE_CORPUS_DIR, &image_check::CheckImage);
}

}  // namespace
