#include "gateclient/job/function_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Owner : public CommandIgnorer {
 public:
  void OnJoin(qv::CMD_base* command) { seen.push_back("join " + std::to_string(command->subid)); }
  void OnLast(qv::CMD_base* command) { seen.push_back("last " + std::to_string(command->subid)); }
  std::vector<std::string> seen;
};

// An owner with two bases whose table serves the second base: the call must reach the right one.
class Painter {
 public:
  virtual ~Painter() = default;
  int painted = 0;
};
class Window : public Painter, public CommandIgnorer {
 public:
  void OnPrize(qv::CMD_base*) { ++prizes; }
  int prizes = 0;
};

TEST(FunctionArrayTest, DispatchesBySubidWithinItsSlots) {
  Owner owner;
  FunctionArray<Owner, 48> table(&owner);
  EXPECT_EQ(table.count(), 49u);
  EXPECT_TRUE(table.Set(4, &Owner::OnJoin));
  EXPECT_TRUE(table.Set(15, &Owner::IgnoreCommand));
  EXPECT_TRUE(table.Set(48, &Owner::OnLast));
  EXPECT_FALSE(table.Set(49, &Owner::OnLast));

  struct Case {
    uint16_t subid;
    const char* handled_as;  // null: ignored
  };
  const Case cases[] = {
      {4, "join 4"}, {48, "last 48"},   // filed; N itself is a slot
      {15, nullptr},                    // filed with IgnoreCommand
      {0, nullptr},  {5, nullptr},      // unset slots
      {49, nullptr}, {65535, nullptr},  // beyond the table
  };
  for (const Case& c : cases) {
    owner.seen.clear();
    qv::CMD_base command(14, c.subid);
    table.HandleCmd(&command);
    if (c.handled_as == nullptr) {
      EXPECT_TRUE(owner.seen.empty()) << c.subid;
    } else {
      EXPECT_EQ(owner.seen, std::vector<std::string>{c.handled_as}) << c.subid;
    }
  }
}

TEST(FunctionArrayTest, ReachesTheOwnerThroughASecondBase) {
  Window window;
  FunctionArray<Window, 48> table(&window);
  table.Set(19, &Window::OnPrize);
  table.Set(4, &Window::IgnoreCommand);
  qv::CMD_base prize(14, 19);
  qv::CMD_base join(14, 4);
  IHandler_SameKindCmd& handler = table;
  handler.HandleCmd(&prize);
  handler.HandleCmd(&join);
  EXPECT_EQ(window.prizes, 1);
  EXPECT_EQ(window.painted, 0);
}

TEST(FunctionArrayTest, NeitherReleasesNorChecksKind) {
  Owner owner;
  FunctionArray<Owner, 8> table(&owner);
  table.Set(8, &Owner::OnLast);
  auto* command = new qv::CMD_base(99, 8);
  qv::AttachReleaser(command);
  table.HandleCmd(command);
  EXPECT_EQ(owner.seen, std::vector<std::string>{"last 8"});
  EXPECT_EQ(static_cast<qv::CommonDeleteHandler*>(command->releaser)->count(), 1u);
  qv::ReleaseCommand(command);
}

}  // namespace
