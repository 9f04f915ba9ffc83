#include "platform/net.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

TEST(NetTest, SocketsAreCloseOnExec) {
  const int fd = OpenTcpSocket();
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(IsCloseOnExec(fd));
  CloseSocket(fd);

  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  ASSERT_GE(listener, 0);
  EXPECT_NE(port, 0);
  EXPECT_TRUE(IsCloseOnExec(listener));
  const int client = ConnectToLoopback(port);
  ASSERT_GE(client, 0);
  const int server = AcceptConnection(listener);
  ASSERT_GE(server, 0);
  EXPECT_TRUE(IsCloseOnExec(client));
  EXPECT_TRUE(IsCloseOnExec(server));

  const std::string text = "gate frame bytes";
  ASSERT_TRUE(WriteAll(client, text.data(), text.size()));
  std::string got(text.size(), '\0');
  ASSERT_TRUE(ReadExact(server, got.data(), got.size()));
  EXPECT_EQ(got, text);

  // An orderly close is an end of stream; reading past it fails.
  CloseSocket(client);
  char byte;
  EXPECT_EQ(ReadSome(server, &byte, 1), 0);
  EXPECT_FALSE(ReadExact(server, &byte, 1));
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, ResetIsSeenAsAnError) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);
  ASSERT_GE(server, 0);
  CloseSocket(client, /*reset=*/true);
  char byte;
  EXPECT_LT(ReadSome(server, &byte, 1), 0);
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, ReceiveTimeoutEndsABlockingRead) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);
  ASSERT_TRUE(SetReceiveTimeout(server, 20));
  char byte;
  EXPECT_LT(ReadSome(server, &byte, 1), 0);
  CloseSocket(client);
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, ResolvesLoopbackNamesOnly) {
  uint32_t address = 0;
  ASSERT_TRUE(ResolveIPv4("127.0.0.1", &address));
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
  EXPECT_FALSE(ResolveIPv4("", &address));
}

}  // namespace
}  // namespace platform
