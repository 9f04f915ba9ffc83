// The connection manager's interfaces: the manager that owns every TCP connection of the program
// and the thread driving them, and the sink it reports connection events and whole frames to.
#pragma once

#include <cstdint>

// One host to resolve (ResolveHosts). Only `host` is read; `address` (IPv4, network byte order,
// 0 when the name does not resolve) and, on failure, both `failure` words (1000) are written. The
// other words belong to the caller.
struct HostEntry {
  uint32_t caller_word0;
  const char* host;
  uint32_t address;
  uint32_t caller_words[3];
  uint32_t failure[2];
};

// Receives the manager's reports. Calls arrive on the manager's loop thread, except a connect
// failure found inside ConnectTo (name resolution), which arrives on its caller's thread before
// ConnectTo returns.
class ICMGR_ChannelSink {
 public:
  virtual ~ICMGR_ChannelSink() = default;
  // The connection `id` ended (error, reset, clean close by the peer, a frame outside the limits,
  // or Close). Reported once, and only for a connection that had been established.
  virtual void OnConnectionClose(uint64_t id, uint32_t context) = 0;
  // One whole frame, its 4-byte length prefix included; valid for the duration of the call.
  virtual void OnDataMessage(uint64_t id, const void* frame, uint32_t length, uint32_t context) = 0;
  // The outcome of ConnectTo: reported once per connection id.
  virtual void OnConnectToRet(uint64_t id, bool ok, uint32_t context) = 0;
};

class ICMGR_ConnManager {
 public:
  virtual ~ICMGR_ConnManager() = default;
  // Starts the loop thread. REQUIRES: called once, before any other operation.
  virtual bool Start(ICMGR_ChannelSink* sink) = 0;
  // Closes every connection without reports, ends and joins the loop thread, and deletes the
  // manager. REQUIRES: no other operation runs or follows.
  virtual void Stop() = 0;
  // Connects to host:port within `timeout_ms`. Returns the new connection's id (never 0 or all
  // bits set), or 0 when no connection could be set up at all. The result arrives through
  // OnConnectToRet.
  virtual uint64_t ConnectTo(const char* host, uint32_t port, uint32_t context,
                             uint32_t timeout_ms) = 0;
  // Queues bytes (whole frames) for connection `id`. Any thread. False for an unknown id.
  virtual bool Send(uint64_t id, const void* data, uint32_t length) = 0;
  // Closes connection `id` on the loop thread; reports OnConnectionClose when it was established.
  virtual void Close(uint64_t id) = 0;
  // Resolves `count` entries of `table` on the loop thread. The table must outlive that.
  virtual void ResolveHosts(uint32_t count, HostEntry* table, uint32_t a, uint32_t b,
                            uint32_t c) = 0;
};

// A new, not yet started connection manager (a QConnMgr), or null when memory runs out.
extern "C" ICMGR_ConnManager* chCreateConnManager();
