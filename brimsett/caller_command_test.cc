#include "brimsett/caller_command.h"

#include <gtest/gtest.h>

namespace brimsett {
namespace {

TEST(CallerLaunchOptionsTest, WholeFileOrSplitText) {
  struct Case {
    const char* command;
    bool is_file;
    const char* program;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"/opt/my games/tarvix", true, "/opt/my games/tarvix", {}},
      {"/opt/helper one two", false, "/opt/helper", {"one", "two"}},
      {"\"/opt/my games/helper\" \"a b\" c", false, "/opt/my games/helper", {"a b", "c"}},
      {"   ", false, "", {}},
  };
  for (const auto& c : cases) {
    platform::LaunchOptions got = CallerLaunchOptions(c.command, c.is_file);
    EXPECT_EQ(got.program, c.program) << c.command;
    EXPECT_EQ(got.args, c.args) << c.command;
    EXPECT_TRUE(got.working_dir.empty()) << "the caller runs in the applier's folder";
  }
}

}  // namespace
}  // namespace brimsett
