// TCP sockets on this machine: the connection manager's own sockets (close-on-exec, so game
// processes started later do not inherit them) and blocking loopback helpers for test peers and
// benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// A new IPv4 stream socket, non-blocking and close-on-exec. -1 on failure.
int OpenTcpSocket();

// True when `fd` carries the close-on-exec flag.
bool IsCloseOnExec(int fd);

// Turns off the coalescing of small writes (Nagle), so a small frame leaves at once instead of
// waiting for the acknowledgement of the one before it. False on failure.
bool SetTcpNoDelay(int fd);

// True when `fd` has the coalescing of small writes turned off (TCP_NODELAY).
bool HasTcpNoDelay(int fd);

// Writes what the socket takes now, never blocking (whatever the socket's mode) and never raising
// SIGPIPE. Returns the count written, 0 when the socket's buffer is full, -1 on an error such as
// a reset connection.
long SendNow(int fd, const void* data, size_t length);

// Reads what has arrived (at most `capacity` bytes), never blocking whatever the socket's mode.
// Returns the count, 0 when nothing has arrived, -1 at the end of the stream or on an error.
long ReceiveNow(int fd, void* data, size_t capacity);

// Fixes the socket's send and receive buffers at about these sizes (the kernel rounds them) and
// stops their growth with the traffic; a test uses it to make a socket fill quickly.
bool SetSocketBuffers(int fd, int send_bytes, int receive_bytes);

// Resolves `host` to its first IPv4 address (network byte order). False when it does not resolve.
bool ResolveIPv4(const char* host, uint32_t* address);

// A blocking, close-on-exec listening socket on 127.0.0.1 at a free port written to `*port`.
// -1 on failure.
int ListenOnLoopback(uint16_t* port);

// A blocking connection to 127.0.0.1:`port` with TCP_NODELAY set. -1 on failure.
int ConnectToLoopback(uint16_t port);

// Accepts one connection on `listen_fd` (blocking, close-on-exec, TCP_NODELAY). -1 on failure.
int AcceptConnection(int listen_fd);

// Writes all of `data`; false on an error or a closed peer.
bool WriteAll(int fd, const void* data, size_t length);

// Reads exactly `length` bytes; false on an error or end of stream before that.
bool ReadExact(int fd, void* data, size_t length);

// Reads whatever arrives (at most `capacity` bytes). Returns the count, 0 at end of stream, -1 on
// an error.
long ReadSome(int fd, void* data, size_t capacity);

// Sets a receive time-out so a blocking read gives up after `ms` milliseconds.
bool SetReceiveTimeout(int fd, int ms);

// A write to a connection the peer has reset fails with an error instead of killing the process
// (the default action of SIGPIPE). Process-wide; idempotent.
void IgnoreBrokenPipe();

// Ends both directions of the connection at once, from any thread; the peer sees the end of the
// stream and the socket's owner sees it too. The socket stays open until it is closed.
void ShutdownSocket(int fd);

// Ends this side's sending: the peer reads what was sent and then the end of the stream, and can
// still write to this side.
void EndSending(int fd);

// Closes the socket; with `reset` the peer sees a connection reset instead of an orderly close.
void CloseSocket(int fd, bool reset = false);

}  // namespace platform
