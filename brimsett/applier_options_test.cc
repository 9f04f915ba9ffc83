#include "brimsett/applier_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/command_line.h"

namespace brimsett {
namespace {

struct SwitchCase {
  const char* text;  // the parameter text as the hall passes it
  ApplierOptions expected;
};

ApplierOptions Options(std::string d, std::string s, std::string n, std::string l, bool quiet,
                       bool wait) {
  return ApplierOptions{std::move(d), std::move(s), std::move(n), std::move(l), quiet, wait};
}

TEST(ReadSwitchesTest, ParameterTextsThroughTheSplitter) {
  const SwitchCase cases[] = {
      // The hall's own form: every value between runs of three quotes.
      {"/d:\"\"\"/opt/hall\"\"\" /s:\"\"\"/opt/hall/cache/Tarvix\"\"\" /n:\"\"\"Tarvix\"\"\" "
       "/l:\"\"\"/opt/hall/tarvix\"\"\" /waitparentexit",
       Options("/opt/hall", "/opt/hall/cache/Tarvix", "Tarvix", "/opt/hall/tarvix", false, true)},
      // A folder with a blank stays one value.
      {"/d:\"\"\"/opt/my games/hall\"\"\" /s:\"\"\"/opt/my games/hall/cache/Dou Di\"\"\" /quiet",
       Options("/opt/my games/hall", "/opt/my games/hall/cache/Dou Di", "", "", true, false)},
      // A trailing separator inside the quotes is dropped once.
      {"/d:\"\"\"/opt/hall/\"\"\" /s:\"/tmp/s\"",
       Options("/opt/hall", "/tmp/s", "", "", false, false)},
      {"-d:/a -s:/b -n:x -quiet", Options("/a", "/b", "x", "", true, false)},
      // Names compare case-sensitively; words without a leading '-' or '/' are ignored.
      {"/D:/a /S:/b /N:x /QUIET /WaitParentExit", Options("", "", "", "", false, false)},
      {"d:/a s:/b quiet", Options("", "", "", "", false, false)},
      // "quiet" and "waitparentexit" are whole switch names.
      {"/d:/a /s:/b /quieter /waitparentexit2", Options("/a", "/b", "", "", false, false)},
      // A later switch replaces an earlier one; an empty value clears it.
      {"/d:/a /d:/b /s:/c /s:", Options("/b", "", "", "", false, false)},
      // The value of "l:" keeps its own quoting when the hall passes a command with arguments.
      {"/d:/a /s:/b \"/l:/opt/helper one two\"",
       Options("/a", "/b", "", "/opt/helper one two", false, false)},
  };
  for (const auto& c : cases) {
    ApplierOptions got = ReadSwitches(platform::SplitCommandLine(c.text));
    SCOPED_TRACE(c.text);
    EXPECT_EQ(got.destination, c.expected.destination);
    EXPECT_EQ(got.source, c.expected.source);
    EXPECT_EQ(got.name, c.expected.name);
    EXPECT_EQ(got.launch, c.expected.launch);
    EXPECT_EQ(got.quiet, c.expected.quiet);
    EXPECT_EQ(got.wait_parent, c.expected.wait_parent);
  }
}

TEST(CleanSwitchValueTest, QuotesThenOneTrailingSeparator) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\Game\\\"", "C:\\Game"},  // quote, C:\Game\, quote
      {"C:\\Game\\\\", "C:\\Game\\"},  // only one separator goes
      {"/opt/hall/", "/opt/hall"},
      {"\"", "\""},  // a lone quote is not a quoted value
      {"\"\"", ""},
      {"\"abc", "abc"},    // an opening quote without its partner
      {"abc\"", "abc\""},  // a closing quote alone stays
      {"\"a\"b\"", "a\"b"},
      {"\"/\"", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(CleanSwitchValue(in), out) << "value: " << in;
  }
}

TEST(IsPlainNamePartTest, RefusesWhatLeadsOutOfTheFolder) {
  const std::pair<const char*, bool> cases[] = {
      {"Tarvix", true},    {"", true},      {"dou di", true}, {"a.b", true},
      {"..", false},       {".", false},    {"../x", false},  {"x/y", false},
      {"x\\..\\y", false}, {"a\nb", false}, {"a\tb", false},
  };
  for (const auto& [name, plain] : cases) {
    EXPECT_EQ(IsPlainNamePart(name), plain) << "name: " << name;
  }
}

TEST(PathIsWithinTest, ComparesWholeParts) {
  struct Case {
    const char* inner;
    const char* outer;
    bool within;
  };
  const Case cases[] = {
      {"/opt/hall", "/opt/hall", true},
      {"/opt/hall/", "/opt//hall", true},
      {"/opt/hall/cache", "/opt/hall", true},
      {"/opt/hall", "/opt/hall/cache/Tarvix", false},  // the hall's own layout
      {"/opt/hallway", "/opt/hall", false},
      {"/opt/hall", "/opt/hall/cache/..", true},
      {"/opt/hall/./x", "/opt/hall", true},
      {"opt/hall", "/opt/hall", false},
      {"/", "/opt", false},
      {"/opt", "/", true},
      {"../a", "a", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathIsWithin(c.inner, c.outer), c.within) << c.inner << " in " << c.outer;
  }
}

}  // namespace
}  // namespace brimsett
