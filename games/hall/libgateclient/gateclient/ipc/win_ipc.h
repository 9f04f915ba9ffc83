// The channel between the hall and one running game client: two block queues, one per direction,
// named after the hall's process id and a 64-bit key, and a worker thread that moves messages.
#pragma once

#include <cstdint>
#include <string>

namespace qvc {

// Receives the messages of the other side.
class IWinIpcCallback {
 public:
  virtual ~IWinIpcCallback() = default;
  // Kept for the other programs' sake; the channel never calls it.
  virtual void OnIpcReserved() {}
  // One message, on the channel's worker thread, in queue order; `data` is valid during the call.
  virtual void OnIpcData(const void* data, uint32_t length) = 0;
};

class IWinIpc {
 public:
  virtual ~IWinIpc() = default;
  // Attaches both queues (server: creates them; client: opens them) and starts the worker.
  // False when a queue cannot be attached; then nothing runs.
  virtual bool Open(uint32_t process_id, uint64_t key, IWinIpcCallback* callback, bool client) = 0;
  // Queues a copy of the message for the worker. Never blocks on the other process.
  virtual void Send(const void* data, uint32_t length) = 0;
  // Stops and joins the worker, then detaches both queues. Safe to call more than once.
  virtual void Close() = 0;
};

// "cs2015" + process id + "_" + key, e.g. cs201588_5.
std::string ChannelName(uint32_t process_id, uint64_t key);
// Queue that carries messages to the server side (the hall) / to the client side (the game).
std::string ToServerQueueName(uint32_t process_id, uint64_t key);
std::string ToClientQueueName(uint32_t process_id, uint64_t key);

}  // namespace qvc
