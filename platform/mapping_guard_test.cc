#include "platform/mapping_guard.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "platform/shared_memory.h"

namespace platform {
namespace {

constexpr size_t kSize = 64 << 10;

// A shared mapping of a memory file filled with 0xAB, as a peer's object would be.
struct SharedFile {
  SharedFile() {
    fd = memfd_create("tvx_guard", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, kSize), 0);
    view = static_cast<unsigned char*>(
        mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    EXPECT_NE(view, MAP_FAILED);
    std::memset(view, 0xAB, kSize);
  }
  ~SharedFile() {
    munmap(view, kSize);
    close(fd);
  }
  // What a peer can do to any object it may write.
  void Truncate(off_t size) { ASSERT_EQ(ftruncate(fd, size), 0); }

  int fd = -1;
  unsigned char* view = nullptr;
};

TEST(MappingGuardTest, ATruncatedGuardedMappingReadsZerosAndStaysWritable) {
  for (off_t kept : {off_t{0}, off_t{4096}}) {
    SharedFile file;
    ASSERT_TRUE(GuardMapping(file.view, kSize));
    file.Truncate(kept);
    volatile unsigned char* p = file.view;
    EXPECT_EQ(p[kSize - 1], 0) << kept;  // past the new end: would have been SIGBUS
    EXPECT_TRUE(MappingWasReplaced(file.view)) << kept;
    EXPECT_EQ(p[0], 0) << kept << ": the whole range is replaced, not only the lost part";
    p[100] = 7;
    EXPECT_EQ(p[100], 7) << kept;
    UnguardMapping(file.view);
    EXPECT_FALSE(MappingWasReplaced(file.view)) << "the slot is gone";
  }
}

TEST(MappingGuardTest, AnIntactGuardedMappingIsLeftAlone) {
  SharedFile file;
  ASSERT_TRUE(GuardMapping(file.view, kSize));
  EXPECT_EQ(file.view[kSize - 1], 0xAB);
  EXPECT_FALSE(MappingWasReplaced(file.view));
  UnguardMapping(file.view);
}

using MappingGuardDeathTest = ::testing::Test;

TEST_F(MappingGuardDeathTest, ABusErrorOutsideAGuardedRangeStillEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SharedFile guarded;
  ASSERT_TRUE(GuardMapping(guarded.view, kSize));
  // A range never guarded, and one whose guard has ended.
  for (bool was_guarded : {false, true}) {
    SharedFile file;
    if (was_guarded) {
      ASSERT_TRUE(GuardMapping(file.view, kSize));
      UnguardMapping(file.view);
    }
    file.Truncate(0);
    volatile unsigned char* p = file.view;
    EXPECT_DEATH(p[kSize - 1] = 1, "") << was_guarded;
  }
  UnguardMapping(guarded.view);
}

TEST(MappingGuardTest, SharedMemoryGuardsWhatItMaps) {
  const std::string name = "tvx_guard_" + std::to_string(getpid());
  SharedMemory creator, opener;
  ASSERT_TRUE(creator.Create(name, kSize));
  ASSERT_TRUE(opener.Open(name, kSize));
  std::memset(creator.data(), 0xAB, kSize);
  // The peer shrinks the object through its own descriptor.
  int fd = shm_open(SharedMemoryObjectName(name).c_str(), O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0), 0);
  close(fd);
  volatile unsigned char* p = opener.data();
  EXPECT_EQ(p[kSize / 2], 0);
  EXPECT_TRUE(MappingWasReplaced(opener.data()));
  EXPECT_FALSE(MappingWasReplaced(creator.data())) << "not touched yet";
  opener.Close();
  creator.Close();
}

TEST(MappingGuardTest, RefusesEmptyRanges) {
  int x = 0;
  EXPECT_FALSE(GuardMapping(nullptr, 10));
  EXPECT_FALSE(GuardMapping(&x, 0));
  EXPECT_FALSE(MappingWasReplaced(nullptr));
  UnguardMapping(nullptr);  // no effect
}

}  // namespace
}  // namespace platform
