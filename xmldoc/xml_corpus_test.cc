// Replays the fuzzer's corpus: every input parses without a fault, and what parses saves and
// parses back into the same tree, and the parser's tag scan reads every tag like the reference.
#include <gtest/gtest.h>

#include <string>

#include "testing/corpus/corpus_replay.h"
#include "xmldoc/xml_tree_description.h"

namespace xmldoc {
namespace {

TEST(XmlCorpusTest, EveryInputRoundTrips) {
  testing_corpus::ReplayCorpus(XML_CORPUS_DIR, [](const std::string& text) {
    return CheckRoundTrip(text) + CheckTagScan(text);
  });
}

}  // namespace
}  // namespace xmldoc
