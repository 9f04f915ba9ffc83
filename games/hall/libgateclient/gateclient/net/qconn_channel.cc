#include "gateclient/net/qconn_channel.h"

#include <event2/buffer.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "gateclient/net/conn_manager.h"
#include "gateclient/net/frame_cutter.h"
#include "gateclient/net/frame_limits.h"
#include "gateclient/net/output_block_pool.h"
#include "gateclient/net/qconn_mgr.h"
#include "platform/net.h"

QConnChannel::QConnChannel(QConnMgr* manager, event_base* base, bufferevent* bev, uint64_t id,
                           ICMGR_ChannelSink* sink, uint32_t context, std::string host)
    : manager_(manager),
      base_(base),
      bev_(bev),
      fd_(bufferevent_getfd(bev)),
      id_(id),
      sink_(sink),
      context_(context),
      host_(std::move(host)) {
  flush_event_ = event_new(base_, -1, 0, &QConnChannel::FlushCallback, this);
  // The write callback runs when the output has drained (the low watermark is 0).
  bufferevent_setcb(bev_, &QConnChannel::ReadCallback, &QConnChannel::WriteCallback,
                    &QConnChannel::EventCallback, this);
}

void QConnChannel::Enable() { bufferevent_enable(bev_, EV_READ | EV_WRITE); }

QConnChannel::~QConnChannel() {
  if (connect_timer_ != nullptr) event_free(connect_timer_);
  if (flush_event_ != nullptr) event_free(flush_event_);
  for (const Chunk& chunk : pending_) FreeChunk(chunk);
  // Clears the callbacks first, so a deferred callback still queued for it never runs.
  if (bev_ != nullptr) bufferevent_free(bev_);
}

namespace {

// The bufferevent's release of a queued chunk; `pool` is null for a chunk of its own.
void ReleaseChunk(const void* bytes, size_t, void* pool) {
  auto* block = static_cast<uint8_t*>(const_cast<void*>(bytes));
  if (pool != nullptr) {
    static_cast<OutputBlockPool*>(pool)->Give(block);
  } else {
    delete[] block;
  }
}

}  // namespace

void QConnChannel::FreeChunk(const Chunk& chunk) {
  ReleaseChunk(chunk.bytes, chunk.length, chunk.pooled ? &OutputBlockPool::Shared() : nullptr);
}

bool QConnChannel::CopyFrame(const uint8_t* data, uint32_t length, std::vector<Chunk>* chunks) {
  if (length < kPooledFrameBytes) {
    auto* bytes = new (std::nothrow) uint8_t[length];
    if (bytes == nullptr) return false;
    std::memcpy(bytes, data, length);
    chunks->push_back({bytes, length, false});
    return true;
  }
  OutputBlockPool& pool = OutputBlockPool::Shared();
  for (uint32_t done = 0; done < length;) {
    const uint32_t part =
        std::min<uint32_t>(length - done, static_cast<uint32_t>(OutputBlockPool::kBlockBytes));
    uint8_t* block = pool.Take();
    if (block == nullptr) {
      // All of the frame or nothing: a part-queued frame would break the stream.
      for (const Chunk& chunk : *chunks) FreeChunk(chunk);
      chunks->clear();
      return false;
    }
    std::memcpy(block, data + done, part);
    chunks->push_back({block, part, true});
    done += part;
  }
  return true;
}

void QConnChannel::PushLocked(const std::vector<Chunk>& chunks) {
  direct_ = false;
  const bool wake = pending_.empty();
  pending_.insert(pending_.end(), chunks.begin(), chunks.end());
  if (wake) event_active(flush_event_, EV_WRITE, 0);
}

bool QConnChannel::QueueOutput(const void* data, uint32_t length) {
  if (flush_event_ == nullptr || length == 0) return flush_event_ != nullptr;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::vector<Chunk> chunks;
  {
    std::lock_guard<std::mutex> lock(out_mutex_);
    if (direct_) {
      const long sent = platform::SendNow(fd_, bytes, length);
      if (sent == static_cast<long>(length)) return true;
      // The rest (all of it after an error, which the bufferevent then meets and reports) is
      // queued under the lock, so no later frame overtakes it.
      const uint32_t done = sent > 0 ? static_cast<uint32_t>(sent) : 0;
      if (!CopyFrame(bytes + done, length - done, &chunks)) {
        direct_ = false;
        if (done == 0) return false;
        // Part of the frame went out and the rest cannot follow: the stream is broken, so end
        // the connection; the loop thread sees the end and reports the close.
        platform::ShutdownSocket(fd_);
        return false;
      }
      PushLocked(chunks);
      return true;
    }
  }
  // Copied before taking out_mutex_ again, so the lock is held only to move pointers.
  if (!CopyFrame(bytes, length, &chunks)) return false;
  std::lock_guard<std::mutex> lock(out_mutex_);
  PushLocked(chunks);
  return true;
}

void QConnChannel::WriteCallback(bufferevent*, void* arg) {
  static_cast<QConnChannel*>(arg)->AllowDirectWriteIfIdle();
}

void QConnChannel::AllowDirectWriteIfIdle() {
  // Only this thread adds to the bufferevent's output, so once it is empty it stays empty until
  // this thread flushes again.
  if (!connected_ || evbuffer_get_length(bufferevent_get_output(bev_)) != 0) return;
  std::lock_guard<std::mutex> lock(out_mutex_);
  if (pending_.empty()) direct_ = true;
}

void QConnChannel::FlushCallback(evutil_socket_t, short, void* arg) {
  static_cast<QConnChannel*>(arg)->FlushOutput();
}

void QConnChannel::FlushOutput() {
  {
    std::lock_guard<std::mutex> lock(out_mutex_);
    pending_.swap(flushing_);
  }
  // Outside out_mutex_, so that lock is never held while taking the bufferevent's.
  evbuffer* output = bufferevent_get_output(bev_);
  for (size_t i = 0; i < flushing_.size(); ++i) {
    const Chunk& chunk = flushing_[i];
    void* pool = chunk.pooled ? &OutputBlockPool::Shared() : nullptr;
    if (evbuffer_add_reference(output, chunk.bytes, chunk.length, &ReleaseChunk, pool) != 0) {
      // A chunk that cannot be queued leaves a hole in the stream, and the peer would read the
      // next frame from the middle of this one: end the connection instead.
      for (size_t j = i; j < flushing_.size(); ++j) FreeChunk(flushing_[j]);
      flushing_.clear();
      Fail();  // deletes this
      return;
    }
  }
  flushing_.clear();
}

bool QConnChannel::ArmConnectTimeout(uint32_t timeout_ms) {
  connect_timer_ = evtimer_new(base_, &QConnChannel::ConnectTimeoutCallback, this);
  if (connect_timer_ == nullptr) return false;
  const timeval tv{static_cast<time_t>(timeout_ms / 1000),
                   static_cast<suseconds_t>((timeout_ms % 1000) * 1000)};
  return evtimer_add(connect_timer_, &tv) == 0;
}

void QConnChannel::OnConnected() {
  connected_ = true;
  AllowDirectWriteIfIdle();
  if (connect_timer_ != nullptr) {
    event_free(connect_timer_);
    connect_timer_ = nullptr;
  }
  sink_->OnConnectToRet(id_, true, context_);
}

void QConnChannel::OnConnectFailed() {
  if (!close_reported_) {
    close_reported_ = true;
    sink_->OnConnectToRet(id_, false, context_);
  }
  manager_->DestroyChannel(id_);  // deletes this
}

void QConnChannel::OnFrame(const void* frame, uint32_t length) {
  sink_->OnDataMessage(id_, frame, length, context_);
}

void QConnChannel::Fail() {
  if (!connected_) {
    OnConnectFailed();
    return;
  }
  ReportCloseIfConnected();
  manager_->DestroyChannel(id_);  // deletes this
}

void QConnChannel::ReportCloseIfConnected() {
  if (connected_ && !close_reported_) {
    close_reported_ = true;
    sink_->OnConnectionClose(id_, context_);
  }
}

void QConnChannel::ReadCallback(bufferevent*, void* arg) {
  static_cast<QConnChannel*>(arg)->ReadAndCut();
}

void QConnChannel::ReadAndCut() {
  // libevent 2.1 reads at most 4 KiB per pass whatever its read limit, so a busy link would cost
  // a loop pass (and a poll) for every 4 KiB: read on here while the socket has bytes. A read
  // that did not fill its room found the socket empty, so a small frame costs no extra call.
  evbuffer* input = bufferevent_get_input(bev_);
  bool more = evbuffer_get_length(input) - input_left_ >= kLibeventReadBytes;
  ssize_t read = 0;
  while (CutFrames()) {
    if (!more || read >= kMaxTransferPerPass) {
      // What is left waits for the next pass; an end of the stream or an error stays readable,
      // and the bufferevent's next read meets it and reports it.
      input_left_ = evbuffer_get_length(input);
      return;
    }
    // The bufferevent keeps the input's end frozen outside its own reads.
    evbuffer_unfreeze(input, 0);
    evbuffer_iovec room;
    long got = 0;
    if (evbuffer_reserve_space(input, kReadBiteBytes, &room, 1) == 1) {
      got = platform::ReceiveNow(fd_, room.iov_base, room.iov_len);
      more = got == static_cast<long>(room.iov_len);
      if (got > 0) {
        room.iov_len = static_cast<size_t>(got);
        evbuffer_commit_space(input, &room, 1);
        read += got;
      }
    } else {
      more = false;
    }
    evbuffer_freeze(input, 0);
  }
}

bool QConnChannel::CutFrames() {
  evbuffer* input = bufferevent_get_input(bev_);
  for (;;) {
    const size_t buffered = evbuffer_get_length(input);
    uint8_t prefix[gateframe::kLengthPrefixBytes];
    evbuffer_copyout(input, prefix, std::min<size_t>(buffered, sizeof(prefix)));
    uint64_t total = 0;
    const gateframe::CutResult cut = gateframe::CutFrame(prefix, buffered, &total);
    if (cut == gateframe::CutResult::kNeedMore) return true;
    if (cut != gateframe::CutResult::kFrame) {
      // A length outside the limits: the stream cannot be resynchronised, so the connection ends.
      Fail();  // deletes this
      return false;
    }
    // Delivered in place when it lies in one piece of the input; otherwise peeked into a buffer
    // of ours first and drained afterwards, so a frame that arrived in pieces is copied once.
    // Only this thread touches the input, so it stays put while the sink looks at it.
    const uint8_t* frame = nullptr;
    if (evbuffer_get_contiguous_space(input) >= total) {
      frame = evbuffer_pullup(input, static_cast<ssize_t>(total));
    } else {
      uint8_t* copy = FrameBuffer(total);
      if (copy == nullptr) {
        Fail();  // out of memory for the frame: it cannot be skipped either; deletes this
        return false;
      }
      evbuffer_copyout(input, copy, total);
      frame = copy;
    }
    OnFrame(frame, static_cast<uint32_t>(total));
    evbuffer_drain(input, total);
    if (large_frame_capacity_ > kKeptFrameBufferBytes) {
      // One huge frame should not pin its memory for the life of the connection.
      large_frame_.reset();
      large_frame_capacity_ = 0;
    }
  }
}

uint8_t* QConnChannel::FrameBuffer(uint64_t total) {
  if (total <= kInlineFrameBytes) return buffer_;
  if (large_frame_capacity_ < total) {
    large_frame_.reset(new (std::nothrow) uint8_t[total]);
    large_frame_capacity_ = large_frame_ == nullptr ? 0 : total;
  }
  return large_frame_.get();
}

void QConnChannel::EventCallback(bufferevent*, short events, void* arg) {
  auto* channel = static_cast<QConnChannel*>(arg);
  if (events & BEV_EVENT_CONNECTED) {
    channel->OnConnected();
  } else if (events & (BEV_EVENT_ERROR | BEV_EVENT_EOF)) {
    // A clean close by the peer (end of stream) ends the connection like an error does.
    channel->Fail();  // deletes the channel
  }
}

void QConnChannel::ConnectTimeoutCallback(evutil_socket_t, short, void* arg) {
  auto* channel = static_cast<QConnChannel*>(arg);
  event_free(channel->connect_timer_);
  channel->connect_timer_ = nullptr;
  if (!channel->connected_) channel->OnConnectFailed();  // deletes the channel
}
