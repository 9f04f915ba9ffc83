// Replays the fuzzer's corpus: every input parses without a fault, and what parses saves and
// parses back into the same tree, and the parser's tag scan reads every tag like the reference.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "xmldoc/xml_tree_description.h"

namespace xmldoc {
namespace {

TEST(XmlCorpusTest, EveryInputRoundTrips) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(XML_CORPUS_DIR)) {
    std::string text;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &text)) << entry.path();
    EXPECT_EQ(CheckRoundTrip(text), "") << entry.path();
    EXPECT_EQ(CheckTagScan(text), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u);  // the corpus is there, not an empty folder
}

}  // namespace
}  // namespace xmldoc
