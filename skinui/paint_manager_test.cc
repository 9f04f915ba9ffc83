#include "skinui/paint_manager.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/file_util.h"
#include "skinui/image_header.h"

namespace skinui {
namespace {

std::string Png(uint32_t width, uint32_t height) {
  std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {width, height}) {
    for (int s = 24; s >= 0; s -= 8)
      b.push_back(static_cast<char>(v >> s));
  }
  b.append(5, '\0');
  return b;
}

class PaintManagerImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of its own: the tests of a suite run side by side in separate processes.
    std::string pattern = ::testing::TempDir() + "paint_manager_images.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ASSERT_TRUE(platform::MakeDirectories(root_ + "/skin/main"));
    ASSERT_TRUE(platform::WriteFileAtomic(root_ + "/skin/main/in.png", Png(20, 10)));
    ASSERT_TRUE(platform::WriteFileAtomic(root_ + "/outside.png", Png(7, 3)));
    ASSERT_TRUE(platform::MakeDirectories(root_ + "/skinother"));
    ASSERT_TRUE(platform::WriteFileAtomic(root_ + "/skinother/c.png", Png(7, 3)));
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::string root_;
};

TEST_F(PaintManagerImagesTest, SkinsNameImagesOnlyInsideTheResourceFolder) {
  CPaintManagerUI manager;
  manager.SetResourceFolder(root_ + "/skin");
  const struct {
    std::string name;
    bool found;
  } cases[] = {
      {"main/in.png", true},
      {"main\\in.png", true},
      {"../outside.png", false},
      {"main\\..\\..\\outside.png", false},
      {"../skinother/c.png", false},
      {root_ + "/outside.png", false},  // absolute
      {"\\" + root_.substr(1) + "/outside.png", false},
      {"./main/in.png", false},
      {"main//in.png", false},
      {"main/", false},
  };
  for (const auto& c : cases) {
    Image* image = manager.GetImage(c.name);
    EXPECT_EQ(image != nullptr, c.found) << c.name;
    if (image != nullptr) {
      EXPECT_EQ(image->width(), 20) << c.name;
    }
  }
}

TEST_F(PaintManagerImagesTest, OnlyRegularFilesWithinTheByteCapAreRead) {
  std::string big = Png(20, 10);
  big.resize(kMaxImageBytes + 1, '\0');
  ASSERT_TRUE(platform::WriteFileAtomic(root_ + "/skin/big.png", big));
  ASSERT_EQ(::mkfifo((root_ + "/skin/pipe.png").c_str(), 0600), 0);
  ASSERT_TRUE(platform::MakeDirectories(root_ + "/skin/folder.png"));
  CPaintManagerUI manager;
  manager.SetResourceFolder(root_ + "/skin");
  EXPECT_EQ(manager.GetImage("big.png"), nullptr);
  EXPECT_EQ(manager.GetImage("pipe.png"), nullptr);  // returns at once: no writer is waited for
  EXPECT_EQ(manager.GetImage("folder.png"), nullptr);
  EXPECT_NE(manager.GetImage("main/in.png"), nullptr);
}

}  // namespace
}  // namespace skinui
