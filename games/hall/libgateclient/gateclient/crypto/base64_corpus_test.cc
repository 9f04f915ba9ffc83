// Replays the base64 fuzzer's kept inputs: each decode stays inside its buffer and each encoding
// decodes back.
#include <gtest/gtest.h>

#include "gateclient/crypto/base64_check.h"
#include "testing/corpus/corpus_replay.h"

namespace {

TEST(Base64CorpusTest, EveryKeptInputDecodesInsideItsBufferAndRoundTrips) {
  testing_corpus::ReplayCorpus(BASE64_CORPUS_DIR, &base64_check::CheckBase64);
}

}  // namespace
