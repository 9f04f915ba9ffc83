// The libevent connection manager: one loop thread drives every connection; ConnectTo, Send,
// Close and Stop may be called from any thread.
//
// Lock order: `mutex_` (the channel map) before a channel's output lock, never the reverse. Send,
// holding both, writes a frame straight to the socket of a channel whose output is idle or queues
// it on the channel, and never touches its bufferevent, so senders and the loop thread do not
// fight over the bufferevent lock; the loop hands queued bytes to the bufferevent without holding
// either lock. Bufferevent callbacks run deferred and unlocked on the
// loop thread, so they never hold a bufferevent lock while taking `mutex_`.
// A channel leaves the map (under `mutex_`) before the loop thread frees it, so no Send can reach
// a freed bufferevent. No sink call is made while holding `mutex_`.
#pragma once

#include <event2/bufferevent.h>
#include <event2/event.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gateclient/net/conn_manager.h"

class QConnChannel;

class QConnMgr : public ICMGR_ConnManager {
 public:
  QConnMgr();
  ~QConnMgr() override;

  bool Start(ICMGR_ChannelSink* sink) override;
  void Stop() override;
  uint64_t ConnectTo(const char* host, uint32_t port, uint32_t context,
                     uint32_t timeout_ms) override;
  bool Send(uint64_t id, const void* data, uint32_t length) override;
  void Close(uint64_t id) override;
  void ResolveHosts(uint32_t count, HostEntry* table, uint32_t a, uint32_t b,
                    uint32_t c) override;

  // Hooks for a derived manager: before the loop thread starts (false aborts Start), and when
  // Stop begins. OnTick is not scheduled by this manager.
  virtual bool OnStart() { return true; }
  virtual void OnStop() {}
  virtual void OnTick() {}

  // Number of open channels, and the socket of one of them (-1 when unknown); for tests.
  size_t ChannelCount() const;
  int SocketOf(uint64_t id) const;

 private:
  friend class QConnChannel;

  enum class Op { kClose, kResolve };
  struct Request {
    Op op;
    uint64_t id;
  };

  // Counts a caller inside the manager so that Stop waits for it; false once stopping.
  bool EnterCall();
  void LeaveCall();

  // The next free id. REQUIRES: `mutex_` held.
  uint64_t NextIdLocked();
  // Removes the channel from the map and hands it over; null when there is none.
  std::unique_ptr<QConnChannel> TakeChannel(uint64_t id);
  // Removes the channel from the map and frees it, without a report. Loop thread.
  void DestroyChannel(uint64_t id);
  // Queues work for the loop thread and wakes it. Any thread, any lock but `mutex_` held.
  void Post(Request request);
  void RunRequests();
  void CloseChannel(uint64_t id);
  void ResolvePending();
  void RunLoop();
  // Frees every channel without a report. Loop thread, after the loop ended.
  void DestroyAllChannels();

  static void WakeCallback(evutil_socket_t, short, void* arg);
  static void StopCallback(evutil_socket_t, short, void* arg);

  uint64_t next_id_ = 0;
  event_base* base_ = nullptr;
  event* wake_ = nullptr;
  event* stop_event_ = nullptr;
  bool stop_ = false;  // under mutex_
  bool stopped_ = true;
  std::thread loop_thread_;

  mutable std::mutex mutex_;  // guards the fields down to in_calls_
  std::condition_variable calls_done_;
  std::map<uint64_t, std::unique_ptr<QConnChannel>> channels_;
  int in_calls_ = 0;

  ICMGR_ChannelSink* sink_ = nullptr;

  std::mutex requests_mutex_;  // a leaf lock
  std::vector<Request> requests_;
  uint32_t resolve_count_ = 0;
  HostEntry* resolve_table_ = nullptr;
  uint32_t resolve_words_[3] = {0, 0, 0};
};
