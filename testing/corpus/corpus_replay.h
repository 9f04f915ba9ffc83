// Runs every file of a fuzzer's kept corpus through the check its fuzz target makes, so the
// ordinary build replays what the fuzzers found.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"

namespace testing_corpus {

// `check` takes a file's bytes and returns "" when they keep the properties, else what broke.
template <typename Check>
void ReplayCorpus(const std::string& dir, const Check& check) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadFile(entry.path().string(), &bytes)) << entry.path();
    EXPECT_EQ(check(bytes), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5u) << dir << ": the corpus is there, not an empty folder";
}

}  // namespace testing_corpus
