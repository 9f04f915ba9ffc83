// One TCP connection of the connection manager: its bufferevent, its connect time-out and the
// frame cutter of its input.
//
// Threads: a channel is created under the manager's map mutex and from then on touched only on
// the manager's loop thread, except that Send queues output on it, or writes it straight to the
// socket, under its output lock while holding the map mutex. Its callbacks run deferred and
// without the bufferevent lock (so they may take the map mutex), and it is destroyed on the loop
// thread after it has left the map.
//
// Output: while nothing is queued or buffered, a sender writes its frame to the socket itself
// (one thread hand-off less for each small frame). What the socket does not take, and every frame
// after it, is queued for the loop thread, which hands it to the bufferevent; once the
// bufferevent's output has drained and nothing is queued, the loop lets senders write directly
// again. So bytes leave in the order they were sent, and only one of the two writes at a time.
#pragma once

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ICMGR_ChannelSink;
class QConnMgr;

class QConnChannel {
 public:
  // Frames shorter than this (prefix included) are delivered from the channel's own buffer.
  static constexpr uint32_t kInlineFrameBytes = 8192;
  // Bytes read or written for one connection in one pass of the loop. libevent moves at most
  // 16 KiB per pass by default, which caps a loopback link at a small fraction of the socket's
  // speed; gate frames of up to 16 MiB want bigger bites, yet one busy connection should not
  // hold the loop for long.
  static constexpr ssize_t kMaxTransferPerPass = 1 << 20;
  // The most libevent 2.1 reads in one pass; a pass that brought less found the socket empty.
  static constexpr size_t kLibeventReadBytes = 4096;
  // The room reserved in the input for one read of our own.
  static constexpr size_t kReadBiteBytes = 256 * 1024;
  // A larger buffer for frames that came in pieces is kept for the next one up to this size.
  static constexpr uint64_t kKeptFrameBufferBytes = 1 << 20;
  // Output frames from this size on are copied into pooled blocks: reused memory instead of fresh
  // pages for each large frame. A smaller frame gets a buffer of its own, which the allocator
  // serves from memory it already holds.
  static constexpr uint32_t kPooledFrameBytes = 16 * 1024;

  // Takes ownership of `bev` and sets its callbacks.
  QConnChannel(QConnMgr* manager, event_base* base, bufferevent* bev, uint64_t id,
               ICMGR_ChannelSink* sink, uint32_t context, std::string host);
  // Frees the connect timer and the bufferevent (which closes the socket) without any report.
  virtual ~QConnChannel();
  QConnChannel(const QConnChannel&) = delete;
  QConnChannel& operator=(const QConnChannel&) = delete;

  virtual void OnConnected();
  virtual void OnConnectFailed();
  virtual void OnFrame(const void* frame, uint32_t length);

  // Arms the connect time-out. REQUIRES: before the connect is started.
  bool ArmConnectTimeout(uint32_t timeout_ms);
  // Starts reading and writing. REQUIRES: after the connect has started: a socket polled before
  // it is connecting reads as an error.
  void Enable();
  // Reports the close once when the channel had connected. Loop thread.
  void ReportCloseIfConnected();

  // Writes the bytes to the socket when the output is idle; otherwise (and whatever the socket
  // does not take) queues them for the loop thread, waking it only when the queue was empty, so a
  // burst of sends costs one wake-up and never contends with the loop for the bufferevent lock.
  // A write error is left to the loop thread, which meets it when it writes the queued rest.
  // Any thread, with the manager's map mutex held (which keeps the channel and its socket alive).
  // False when the bytes could not be queued (memory ran out before any of them went out).
  bool QueueOutput(const void* data, uint32_t length);

  uint64_t id() const { return id_; }
  bufferevent* bev() const { return bev_; }
  uint32_t context() const { return context_; }

 private:
  static void ReadCallback(bufferevent* bev, void* arg);
  static void EventCallback(bufferevent* bev, short events, void* arg);
  static void ConnectTimeoutCallback(evutil_socket_t, short, void* arg);
  static void FlushCallback(evutil_socket_t, short, void* arg);
  static void WriteCallback(bufferevent* bev, void* arg);
  // Hands the queued bytes to the bufferevent without copying them. Loop thread.
  void FlushOutput();
  // Lets senders write directly when the bufferevent's output is empty and nothing is queued.
  // Loop thread, holding no lock.
  void AllowDirectWriteIfIdle();

  // Delivers the whole frames buffered in the input, reads on from the socket while it has bytes
  // (up to kMaxTransferPerPass), and delivers again. Loop thread.
  void ReadAndCut();
  // Delivers the whole frames buffered in the input. False when the channel was destroyed (a
  // length outside the limits).
  bool CutFrames();
  // A buffer of at least `total` bytes for a frame that came in pieces: the inline one, or one
  // kept for reuse; null when memory runs out.
  uint8_t* FrameBuffer(uint64_t total);
  // The connection is unusable: report it once and have the manager destroy the channel.
  void Fail();

  QConnMgr* manager_;
  bool connected_ = false;
  event_base* base_;
  bufferevent* bev_;
  int fd_;  // the bufferevent's socket, fixed for the channel's life
  uint64_t id_;
  ICMGR_ChannelSink* sink_;
  uint32_t context_;
  bool close_reported_ = false;
  event* connect_timer_ = nullptr;
  std::string host_;
  event* flush_event_ = nullptr;
  std::mutex out_mutex_;  // a leaf lock, after the manager's map mutex
  // Frames queued by senders, copied before taking out_mutex_ so the lock is held only to push
  // pointers (only the rest of a frame that the socket took in part is copied under it, so that
  // no later frame overtakes it): a small frame into a buffer of its own, a large one into blocks
  // of the shared OutputBlockPool. The loop thread hands each chunk to the bufferevent by
  // reference; it is released once written.
  struct Chunk {
    uint8_t* bytes;
    uint32_t length;
    bool pooled;  // a block of OutputBlockPool::Shared(), else a buffer of its own
  };
  // Copies a whole frame into `chunks`; false, with nothing taken, when memory runs out.
  static bool CopyFrame(const uint8_t* data, uint32_t length, std::vector<Chunk>* chunks);
  static void FreeChunk(const Chunk& chunk);
  // Appends `chunks` to the queue, waking the loop when the queue was empty, and stops direct
  // writes. REQUIRES: out_mutex_ held.
  void PushLocked(const std::vector<Chunk>& chunks);

  std::vector<Chunk> pending_;   // under out_mutex_
  // Senders may write to the socket: the bufferevent's output is empty, nothing is pending and
  // the connection is up. Under out_mutex_; set only by the loop thread, cleared by a sender that
  // queues.
  bool direct_ = false;
  std::vector<Chunk> flushing_;  // loop thread
  uint8_t buffer_[kInlineFrameBytes];
  std::unique_ptr<uint8_t[]> large_frame_;  // loop thread
  size_t input_left_ = 0;  // bytes of a partial frame left in the input after a pass; loop thread
  uint64_t large_frame_capacity_ = 0;
};
