#include "platform/window_link.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

namespace platform {
namespace {

// A title no other test run is likely to hold at the same time.
std::string UniqueTitle(const char* base) {
  return std::string(base) + "-" + std::to_string(getpid());
}

socklen_t AddressOf(const std::string& title, sockaddr_un* addr) {
  const std::string name = WindowLinkAddress(title, static_cast<uint32_t>(getuid()));
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
}

// Sends raw bytes to a link's address, as a stray or hostile peer would. True when sent.
bool SendRawBytes(const sockaddr_un& addr, socklen_t len, const void* data, size_t size) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  const ssize_t n = sendto(fd, data, size, 0, reinterpret_cast<const sockaddr*>(&addr), len);
  close(fd);
  return n == static_cast<ssize_t>(size);
}

void SendRaw(const std::string& title, const void* data, size_t size) {
  ASSERT_FALSE(WindowLinkAddress(title, static_cast<uint32_t>(getuid())).empty());
  sockaddr_un addr;
  const socklen_t len = AddressOf(title, &addr);
  EXPECT_TRUE(SendRawBytes(addr, len, data, size));
}

// The exact bytes SendToWindowLink puts on the wire for `message`, caught on a plain socket bound
// where a link would be.
std::string WireBytesOf(const LinkMessage& message) {
  const std::string title = UniqueTitle("link-capture");
  sockaddr_un addr;
  const socklen_t len = AddressOf(title, &addr);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    ADD_FAILURE() << "cannot bind the capture socket";
    return {};
  }
  std::string bytes(64, '\0');
  if (SendToWindowLink(title, message)) {
    const ssize_t n = recv(fd, bytes.data(), bytes.size(), 0);
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  } else {
    bytes.clear();
  }
  close(fd);
  EXPECT_FALSE(bytes.empty());
  return bytes;
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
  SendRaw(title, big, 5);            // too short
  SendRaw(title, big, sizeof(big));  // too long
  SendRaw(title, big, 32);           // right size, no tag
  SendRaw(title, big, 0);            // empty
  ASSERT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kPost, 42, 1, 2}));
  LinkMessage msg;
  ASSERT_TRUE(link->WaitReadable(1000));
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.message, 42u);
  EXPECT_EQ(msg.wparam, 1);
  EXPECT_EQ(msg.lparam, 2);
  EXPECT_FALSE(link->Receive(&msg));
}

// The reading thread is stopped through Interrupt, which must not wait out the poll's timeout.
TEST(WindowLinkTest, InterruptEndsAWaitAtOnceAndEveryLaterOne) {
  auto link = WindowLink::Bind(UniqueTitle("link-interrupt"));
  ASSERT_NE(link, nullptr);
  const auto begin = std::chrono::steady_clock::now();
  bool readable = true;
  std::thread reader([&] { readable = link->WaitReadable(20000); });
  link->Interrupt();
  reader.join();
  EXPECT_FALSE(readable);
  EXPECT_FALSE(link->WaitReadable(20000));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
}

// A window that stops reading: once its queue is full a send waits a bounded time and then fails;
// what was queued arrives in order and, read out, makes room again.
TEST(WindowLinkTest, AFullQueueFailsTheSendAfterABoundedWait) {
  const std::string title = UniqueTitle("link-full");
  auto link = WindowLink::Bind(title);
  ASSERT_NE(link, nullptr);
  int queued = 0;
  while (queued < 1000 && SendToWindowLink(title, LinkMessage{LinkKind::kPost, 0x8000, queued, 0}))
    ++queued;
  ASSERT_GT(queued, 0);
  ASSERT_LT(queued, 1000) << "the queue never filled";
  LinkMessage msg;
  for (int i = 0; i < queued; ++i) {
    ASSERT_TRUE(link->Receive(&msg)) << i;
    EXPECT_EQ(msg.wparam, i);
  }
  EXPECT_FALSE(link->Receive(&msg));
  EXPECT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kPost, 0x8000, -1, 0}));
}

// Abstract names have no file permissions, so any local user can reach a link: a well-formed
// record from another user must be dropped all the same.
TEST(WindowLinkTest, RecordsFromAnotherUserAreDropped) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to send as another user";
  constexpr uid_t kOtherUser = 65534;
  const std::string title = UniqueTitle("link-other-user");
  auto link = WindowLink::Bind(title);
  ASSERT_NE(link, nullptr);
  const std::string forged = WireBytesOf(LinkMessage{LinkKind::kPost, 0x8000 + 5555, 1, 2});
  ASSERT_EQ(forged.size(), 32u);

  sockaddr_un addr;  // this user's link: worked out before the child changes user
  const socklen_t len = AddressOf(title, &addr);

  // The same bytes twice: first as this user, to show they would be taken...
  ASSERT_TRUE(SendRawBytes(addr, len, forged.data(), forged.size()));
  LinkMessage msg;
  ASSERT_TRUE(link->WaitReadable(1000));
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.wparam, 1);

  // ...then from a child that has become another user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The raw system call changes only this single-threaded child.
    if (syscall(SYS_setresuid, kOtherUser, kOtherUser, kOtherUser) != 0)
      _exit(2);
    _exit(SendRawBytes(addr, len, forged.data(), forged.size()) ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the other user's send did not go out";

  ASSERT_TRUE(SendToWindowLink(title, LinkMessage{LinkKind::kPost, 42, 3, 4}));
  ASSERT_TRUE(link->WaitReadable(1000));
  ASSERT_TRUE(link->Receive(&msg));
  EXPECT_EQ(msg.message, 42u);
  EXPECT_EQ(msg.wparam, 3);
  EXPECT_FALSE(link->Receive(&msg));
}

}  // namespace
}  // namespace platform
