#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace platform {
namespace {

std::string UniqueName(const char* tag) {
  return std::string("tvx_test_") + tag + "_" + std::to_string(getpid());
}

TEST(SharedObjectNameTest, KeepsSafeBytesAndReplacesTheRest) {
  struct Case {
    std::string_view name, want;
  } cases[] = {
      {"KX_52816_QUEUE_CS201588_5_S", "/map.KX_52816_QUEUE_CS201588_5_S"},
      {"a/b\\c d", "/map.a_b_c_d"},
      {"..", "/map..."},  // stays one object name: it carries no '/'
      {std::string_view("x\0y\n", 4), "/map.x_y_"},
      {"\xe4\xb8\xad", "/map.___"},
  };
  for (const Case& c : cases) EXPECT_EQ(SharedObjectName("map.", c.name), c.want) << c.name;
}

TEST(SharedObjectNameTest, LongNamesAreCutAndStayDistinct) {
  std::string a(300, 'a'), b(300, 'a');
  b.back() = 'b';
  std::string na = SharedObjectName("map.", a), nb = SharedObjectName("map.", b);
  EXPECT_NE(na, nb);
  EXPECT_LE(na.size(), 255u);  // NAME_MAX
  EXPECT_EQ(na.substr(0, 5 + kMaxSharedNameChars), "/map." + a.substr(0, kMaxSharedNameChars));
}

TEST(SharedMemoryTest, OpenerSeesTheCreatorsBytes) {
  std::string name = UniqueName("shared");
  SharedMemory creator, opener;
  ASSERT_TRUE(creator.Create(name, 4096));
  EXPECT_TRUE(creator.is_creator());
  EXPECT_EQ(creator.data()[4095], 0);  // starts zero-filled
  std::memcpy(creator.data(), "hello", 5);
  ASSERT_TRUE(opener.Open(name, 4096));
  EXPECT_FALSE(opener.is_creator());
  EXPECT_EQ(opener.size(), 4096u);
  EXPECT_EQ(std::memcmp(opener.data(), "hello", 5), 0);
  opener.data()[10] = 7;
  EXPECT_EQ(creator.data()[10], 7);
}

TEST(SharedMemoryTest, OpenChecksExistenceAndSize) {
  std::string name = UniqueName("size");
  SharedMemory missing;
  EXPECT_FALSE(missing.Open(name, 1));
  EXPECT_FALSE(missing.is_open());

  SharedMemory creator;
  ASSERT_TRUE(creator.Create(name, 1000));
  SharedMemory too_small;
  EXPECT_FALSE(too_small.Open(name, 1001));
  EXPECT_FALSE(too_small.is_open());
  SharedMemory ok;
  EXPECT_TRUE(ok.Open(name, 1000));
  EXPECT_FALSE(ok.Open(name, 1000)) << "already open";
}

TEST(SharedMemoryTest, CreatorCloseRemovesTheNameOpenerCloseDoesNot) {
  std::string name = UniqueName("remove");
  SharedMemory creator, opener, late;
  ASSERT_TRUE(creator.Create(name, 64));
  ASSERT_TRUE(opener.Open(name, 64));
  opener.Close();
  EXPECT_TRUE(late.Open(name, 64));
  late.Close();
  ASSERT_TRUE(opener.Open(name, 64));
  creator.Close();
  EXPECT_FALSE(late.Open(name, 64));
  opener.data()[0] = 1;  // an attached opener keeps its mapping
  EXPECT_EQ(opener.data()[0], 1);
}

TEST(SharedMemoryTest, CreatingAnExistingNameStartsAfresh) {
  std::string name = UniqueName("afresh");
  SharedMemory first, old_opener, second, new_opener;
  ASSERT_TRUE(first.Create(name, 64));
  first.data()[0] = 42;
  ASSERT_TRUE(old_opener.Open(name, 64));
  ASSERT_TRUE(second.Create(name, 128));
  ASSERT_TRUE(new_opener.Open(name, 1));
  EXPECT_EQ(new_opener.size(), 128u);
  EXPECT_EQ(new_opener.data()[0], 0);
  EXPECT_EQ(old_opener.data()[0], 42);

  // The replaced creator's Close must leave its successor's name alone.
  first.Close();
  SharedMemory still_there;
  EXPECT_TRUE(still_there.Open(name, 128));
}

TEST(SharedMemoryTest, CreateRefusesZeroSizeAndSecondCreate) {
  std::string name = UniqueName("refuse");
  SharedMemory shm;
  EXPECT_FALSE(shm.Create(name, 0));
  ASSERT_TRUE(shm.Create(name, 8));
  EXPECT_FALSE(shm.Create(name, 8));
}

}  // namespace
}  // namespace platform
