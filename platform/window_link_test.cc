#include "platform/window_link.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

namespace platform {
namespace {

// A title no other test run is likely to hold at the same time.
std::string UniqueTitle(const char* base) {
  return std::string(base) + "-" + std::to_string(getpid());
}

// Sends raw bytes to the link of `title`, as a stray or hostile peer would.
void SendRaw(const std::string& title, const void* data, size_t size) {
  const std::string name = WindowLinkAddress(title, static_cast<uint32_t>(getuid()));
  ASSERT_FALSE(name.empty());
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, name.data(), name.size());
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  EXPECT_EQ(sendto(fd, data, size, 0, reinterpret_cast<const sockaddr*>(&addr), len),
            static_cast<ssize_t>(size));
  close(fd);
}

TEST(WindowLinkAddressTest, NamesCarryUserAndEscapeUnsafeBytes) {
  struct Case {
    std::string title;
    uint32_t uid;
    std::string expected;  // without the leading NUL; empty = no address
  };
  const Case cases[] = {
      {"Hall", 1000, "tarvix-window-1000-Hall"},
      {"Hall", 1001, "tarvix-window-1001-Hall"},
      {"a b/c%", 7, "tarvix-window-7-a%20b%2Fc%25"},
      {"\xE5\xA4\xA7", 7, "tarvix-window-7-%E5%A4%A7"},
      {std::string("x\0y", 3), 7, "tarvix-window-7-x%00y"},
      {"", 7, ""},
      {std::string(200, 'a'), 7, ""},
  };
  for (const Case& c : cases) {
    const std::string got = WindowLinkAddress(c.title, c.uid);
    if (c.expected.empty()) {
      EXPECT_TRUE(got.empty()) << c.title;
    } else {
      EXPECT_EQ(got, std::string(1, '\0') + c.expected) << c.title;
    }
  }
}

TEST(WindowLinkTest, RecordsTravelInOrderWithTheirValues) {
  const std::string title = UniqueTitle("link-roundtrip");
  auto link = WindowLink::Bind(title);
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(WindowLinkExists(title));
  LinkMessage msg;
  EXPECT_FALSE(link->Receive(&msg));  // nothing queued: no wait

  ASSERT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kPost, 0x8000 + 5555, -1, INT64_MIN}));
  ASSERT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kForeground, 0, 0, 0}));
  ASSERT_TRUE(link->WaitReadable(1000));
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.kind, LinkKind::kPost);
  EXPECT_EQ(msg.message, 0x8000u + 5555);
  EXPECT_EQ(msg.wparam, -1);
  EXPECT_EQ(msg.lparam, INT64_MIN);
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.kind, LinkKind::kForeground);
  EXPECT_FALSE(link->Receive(&msg));
}

TEST(WindowLinkTest, TitleIsHeldByOneLinkAndFreedWhenItCloses) {
  const std::string title = UniqueTitle("link-taken");
  auto first = WindowLink::Bind(title);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(WindowLink::Bind(title), nullptr);
  first.reset();
  EXPECT_FALSE(WindowLinkExists(title));
  EXPECT_FALSE(SendToWindowLink(title, LinkMessage{}));
  EXPECT_NE(WindowLink::Bind(title), nullptr);
}

TEST(WindowLinkTest, MalformedDatagramsAreDroppedAndValidOnesStillArrive) {
  const std::string title = UniqueTitle("link-malformed");
  auto link = WindowLink::Bind(title);
  ASSERT_NE(link, nullptr);
  unsigned char big[64] = {};
  SendRaw(title, big, 5);           // too short
  SendRaw(title, big, sizeof(big));  // too long
  SendRaw(title, big, 32);          // right size, no tag
  SendRaw(title, big, 0);           // empty
  ASSERT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kPost, 42, 1, 2}));
  LinkMessage msg;
  ASSERT_TRUE(link->WaitReadable(1000));
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.message, 42u);
  EXPECT_EQ(msg.wparam, 1);
  EXPECT_EQ(msg.lparam, 2);
  EXPECT_FALSE(link->Receive(&msg));
}

}  // namespace
}  // namespace platform
