#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

struct SplitCase {
  const char* text;
  std::vector<std::string> expected;
};

TEST(SplitCommandLineTest, FollowsTheCRuntimeRules) {
  const SplitCase cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  a   b  ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"x\"a b\"y", {"xa by"}},
      {"\"\"", {""}},
      {"\"\" a", {"", "a"}},
      {"\"unterminated run", {"unterminated run"}},
      // Two quotes inside a quoted run: one literal quote, the run goes on.
      {"\"a\"\"b c\"", {"a\"b c"}},
      {"\"\"\"\"", {"\""}},
      // The form the hall uses for each switch.
      {"/d:\"\"\"/opt/hall\"\"\" /n:\"\"\"Tarvix\"\"\"", {"/d:\"/opt/hall\"", "/n:\"Tarvix\""}},
      {"/d:\"\"\"/opt/my games/hall\"\"\" /quiet", {"/d:\"/opt/my games/hall\"", "/quiet"}},
      // Backslashes.
      {"a\\b", {"a\\b"}},
      {"a\\\\b", {"a\\\\b"}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"\"C:\\Game\\\\\" x", {"C:\\Game\\", "x"}},
      {"\"C:\\Game\\\" x", {"C:\\Game\" x"}},
      {"trailing\\", {"trailing\\"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.text), c.expected) << "text: " << c.text;
  }
}

}  // namespace
}  // namespace platform
