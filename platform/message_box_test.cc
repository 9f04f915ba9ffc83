#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace platform {
namespace {

// Runs one console question with `input` as the answer and returns (answer, what was shown).
std::pair<bool, std::string> AskOnConsole(const std::string& input) {
  std::FILE* in = tmpfile();
  std::FILE* out = tmpfile();
  std::fputs(input.c_str(), in);
  std::rewind(in);
  ConsoleMessageBoxes boxes(in, out);
  bool yes = boxes.AskYesNo("更新", "是否忽略?");
  std::rewind(out);
  std::string shown;
  int c;
  while ((c = std::fgetc(out)) != EOF) shown.push_back(static_cast<char>(c));
  std::fclose(in);
  std::fclose(out);
  return {yes, shown};
}

TEST(ConsoleMessageBoxesTest, QuestionTakesOnlyAnExplicitYes) {
  const std::pair<const char*, bool> cases[] = {
      {"y\n", true},  {"YES\r\n", true}, {"是\n", true},   {"n\n", false},
      {"", false},    {"yes please\n", false}, {"\n", false}, {"Y", true},
  };
  for (const auto& [input, expected] : cases) {
    auto [yes, shown] = AskOnConsole(input);
    EXPECT_EQ(yes, expected) << "input: " << input;
    EXPECT_NE(shown.find("[更新] 是否忽略?"), std::string::npos) << shown;
  }
}

TEST(ConsoleMessageBoxesTest, ErrorIsWrittenWithItsCaption) {
  std::FILE* out = tmpfile();
  ConsoleMessageBoxes boxes(stdin, out);
  boxes.ShowError("更新", "参数无效");
  std::rewind(out);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  EXPECT_STREQ(line, "[更新] 参数无效\n");
  std::fclose(out);
}

TEST(ScriptedMessageBoxesTest, AnswersInOrderThenNoAndRecordsEverything) {
  ScriptedMessageBoxes boxes;
  boxes.AnswerNext(true);
  boxes.AnswerNext(false);
  boxes.ShowError("c", "first");
  EXPECT_TRUE(boxes.AskYesNo("c", "q1"));
  EXPECT_FALSE(boxes.AskYesNo("c", "q2"));
  EXPECT_FALSE(boxes.AskYesNo("c", "q3"));
  auto shown = boxes.shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, "first");
  EXPECT_FALSE(shown[0].question);
  EXPECT_EQ(shown[3].text, "q3");
  EXPECT_TRUE(shown[3].question);
}

}  // namespace
}  // namespace platform
