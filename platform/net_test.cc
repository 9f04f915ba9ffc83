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

TEST(NetTest, NoDelayIsOffUntilSetAndOnForTheLoopbackHelpers) {
  const int fd = OpenTcpSocket();
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(HasTcpNoDelay(fd));
  EXPECT_TRUE(SetTcpNoDelay(fd));
  EXPECT_TRUE(HasTcpNoDelay(fd));
  CloseSocket(fd);
  EXPECT_FALSE(SetTcpNoDelay(-1));

  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);
  EXPECT_TRUE(HasTcpNoDelay(client));
  EXPECT_TRUE(HasTcpNoDelay(server));
  CloseSocket(client);
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, SendNowStopsAtAFullBufferAndReportsAReset) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);  // a blocking socket: SendNow must not block on it
  const int server = AcceptConnection(listener);
  ASSERT_GE(server, 0);
  // Small fixed buffers: the socket fills after some tens of KiB instead of growing for MiBs.
  ASSERT_TRUE(SetSocketBuffers(client, 16 * 1024, 16 * 1024));
  ASSERT_TRUE(SetSocketBuffers(server, 16 * 1024, 16 * 1024));
  const std::string chunk(64 * 1024, 'n');
  long total = 0, n = 0;
  for (int i = 0; i < 1024 && (n = SendNow(client, chunk.data(), chunk.size())) > 0; ++i) {
    total += n;
  }
  EXPECT_EQ(n, 0) << "the buffer never filled";
  EXPECT_GT(total, 0);
  EXPECT_LT(total, 1 << 20) << "the buffers grew";
  // The bytes arrive as written, and room made by the reader is taken again.
  SetReceiveTimeout(server, 5000);
  std::string got(static_cast<size_t>(total), '\0');
  ASSERT_TRUE(ReadExact(server, got.data(), got.size()));
  EXPECT_EQ(got.find_first_not_of('n'), std::string::npos);
  EXPECT_GT(SendNow(client, "x", 1), 0);

  CloseSocket(server, /*reset=*/true);
  SetReceiveTimeout(client, 5000);
  char byte;
  ReadSome(client, &byte, 1);  // waits for the reset to arrive
  EXPECT_LT(SendNow(client, "x", 1), 0);
  CloseSocket(client);
  CloseSocket(listener);
}

TEST(NetTest, ReceiveNowTakesWhatHasArrivedAndSeesTheEnd) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);  // a blocking socket: ReceiveNow must not block
  ASSERT_GE(server, 0);
  char buffer[16];
  EXPECT_EQ(ReceiveNow(server, buffer, sizeof(buffer)), 0);
  ASSERT_TRUE(WriteAll(client, "abc", 3));
  SetReceiveTimeout(server, 5000);
  ASSERT_TRUE(ReadExact(server, buffer, 1));  // waits until the bytes are there
  EXPECT_EQ(ReceiveNow(server, buffer, sizeof(buffer)), 2);
  EXPECT_EQ(std::string(buffer, 2), "bc");
  CloseSocket(client);
  EXPECT_EQ(ReadSome(server, buffer, 1), 0);  // waits for the end, which stays readable
  EXPECT_EQ(ReceiveNow(server, buffer, sizeof(buffer)), -1);
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, ShutdownEndsTheStreamForBothSides) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);
  ASSERT_GE(server, 0);
  SetReceiveTimeout(server, 5000);
  SetReceiveTimeout(client, 5000);
  ShutdownSocket(client);
  char byte;
  EXPECT_EQ(ReadSome(server, &byte, 1), 0);
  EXPECT_EQ(ReadSome(client, &byte, 1), 0);
  EXPECT_LT(SendNow(client, "x", 1), 0);
  CloseSocket(client);
  CloseSocket(server);
  CloseSocket(listener);
}

TEST(NetTest, EndSendingEndsOneDirectionOnly) {
  uint16_t port = 0;
  const int listener = ListenOnLoopback(&port);
  const int client = ConnectToLoopback(port);
  const int server = AcceptConnection(listener);
  ASSERT_GE(server, 0);
  SetReceiveTimeout(server, 5000);
  SetReceiveTimeout(client, 5000);
  ASSERT_TRUE(WriteAll(server, "reply", 5));
  EndSending(server);
  std::string got(5, '\0');
  ASSERT_TRUE(ReadExact(client, got.data(), got.size()));
  EXPECT_EQ(got, "reply");
  char byte;
  EXPECT_EQ(ReadSome(client, &byte, 1), 0);  // the end of the server's sending
  // The other direction still carries data.
  ASSERT_TRUE(WriteAll(client, "req", 3));
  got.assign(3, '\0');
  ASSERT_TRUE(ReadExact(server, got.data(), got.size()));
  EXPECT_EQ(got, "req");
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
