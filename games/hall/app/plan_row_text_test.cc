#include "games/hall/app/plan_row_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "games/hall/text/utf.h"

namespace hall {
namespace {

// Whether `text` decodes without a replacement character (no sequence cut short).
bool WholeUtf8(std::string_view text) {
  return Utf8ToUtf16(text).find(kReplacementChar) == std::u16string::npos;
}

TEST(CutUtf8, EveryCutOfMixedTextEndsOnACharacterAndKeepsAllThatFits) {
  // One, two, three and four byte characters side by side.
  const std::string text =
      "a"
      "é"
      "报名"
      "😀"
      "b"
      "赛";
  for (size_t max = 0; max <= text.size() + 1; ++max) {
    const std::string_view cut = CutUtf8(text, max);
    SCOPED_TRACE(max);
    EXPECT_LE(cut.size(), max);
    EXPECT_EQ(text.compare(0, cut.size(), cut), 0) << "a prefix";
    EXPECT_TRUE(WholeUtf8(cut));
    if (cut.size() < text.size()) {
      // The next character would not have fitted.
      const auto lead = static_cast<unsigned char>(text[cut.size()]);
      const size_t next = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      EXPECT_GT(cut.size() + next, max) << "a whole character was left out";
    }
  }
}

TEST(CutUtf8, MalformedTextIsCutWithoutLosingWholeCharacters) {
  struct Case {
    std::string text;
    size_t max;
    std::string expected;
  };
  const Case cases[] = {
      {"ab\x80\x80\x80\x80\x80", 5, "ab\x80\x80\x80"},  // garbage run: cut where it stands
      {"\xE6\x8A", 1, ""},                              // a sequence cut short by the sender
      {"\xE6\x8A"
       "a",
       2, "\xE6\x8A"},  // the sender's own fault is kept
      {"\x80"
       "a",
       1, "\x80"},
      {"", 3, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutUtf8(c.text, c.max), c.expected) << c.text.size() << " " << c.max;
  }
}

TEST(PlanTitleText, ShortNamesAreWrappedWholeAndLongOnesShortenedAtACharacter) {
  EXPECT_EQ(PlanTitleText("斗地主每日红包赛", 1203), "{x 50}斗地主每日红包赛(1203){/x}");
  EXPECT_EQ(PlanTitleText("", 0), "{x 50}(0){/x}");
  EXPECT_EQ(PlanTitleText("x", 4294967295u), "{x 50}x(4294967295){/x}") << "unsigned";
  // Names of every length around the room, in three-byte characters, so that the cut meets each
  // position within a character.
  for (uint32_t id : {7u, 4294967295u}) {
    const std::string suffix = "(" + std::to_string(id) + "){/x}";
    for (int chars = 70; chars <= 90; ++chars) {
      std::string name;
      for (int i = 0; i < chars; ++i)
        name += "赛";
      const std::string title = PlanTitleText(name, id);
      SCOPED_TRACE(chars);
      EXPECT_LE(title.size(), kPlanTitleBytes - 1);
      EXPECT_EQ(title.rfind("{x 50}", 0), 0u);
      ASSERT_GE(title.size(), suffix.size());
      EXPECT_EQ(title.substr(title.size() - suffix.size()), suffix);
      EXPECT_TRUE(WholeUtf8(title));
      const size_t room = kPlanTitleBytes - 1 - 6 - suffix.size();
      EXPECT_EQ(title.size() - 6 - suffix.size(), std::min<size_t>(name.size(), room / 3 * 3));
    }
  }
}

// A row is left alone when its packed texts are the same, so texts that differ in any field must
// never pack alike, even where joining the fields would make them so.
TEST(PackPlanRowTexts, TextsPackAlikeOnlyWhenEveryFieldIsTheSame) {
  auto texts = [](std::string title, std::string count, std::optional<std::string> image,
                  std::string term, std::optional<std::string> start) {
    return PlanRowTexts{std::move(title), std::move(count), std::move(image), std::move(term),
                        std::move(start)};
  };
  const PlanRowTexts base = texts("斗地主(1)", "3人报名", kSignupImage, "500金币", "19:30");
  EXPECT_EQ(PackPlanRowTexts(base), PackPlanRowTexts(base));
  const PlanRowTexts others[] = {
      texts("斗地主(1)3", "人报名", kSignupImage, "500金币", "19:30"),  // a field's end moved
      texts("斗地主(1)", "3人报名", std::nullopt, "500金币", "19:30"),
      texts("斗地主(1)", "3人报名", "", "500金币", "19:30"),  // empty is not absent
      texts("斗地主(1)", "3人报名", kWithdrawImage, "500金币", "19:30"),
      texts("斗地主(1)", "3人报名", kSignupImage, "500金币", std::nullopt),
      texts("斗地主(1)", "3人报名", kSignupImage, "500金币19:30", ""),
      texts("斗地主(1)", "4人报名", kSignupImage, "500金币", "19:30"),
      texts("", "", std::nullopt, "", std::nullopt),
  };
  for (const PlanRowTexts& other : others) {
    SCOPED_TRACE(PackPlanRowTexts(other));
    EXPECT_NE(PackPlanRowTexts(other), PackPlanRowTexts(base));
    for (const PlanRowTexts& third : others) {
      if (&third != &other) {
        EXPECT_NE(PackPlanRowTexts(other), PackPlanRowTexts(third));
      }
    }
  }
}

TEST(GroupOptionName, EveryGroupIdFitsItsRoom) {
  EXPECT_EQ(GroupOptionName(7), "group_btn_7");
  EXPECT_EQ(GroupOptionName(4294967295u), "group_btn_4294967295");
  EXPECT_LT(GroupOptionName(4294967295u).size(), kGroupOptionNameBytes);
}

}  // namespace
}  // namespace hall
