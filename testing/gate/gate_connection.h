// One hall connection of the local gate: frames in and out, the payload cipher once a keyed hello
// reply went out, and the faults a test asks for. Loop thread only.
#pragma once

#include <event2/bufferevent.h>
#include <event2/event.h>

#include <cstdint>
#include <memory>
#include <string>

#include "gateclient/crypto/blowfish.h"

namespace testgate {

class LocalGate;

// One frame the gate received, as it arrived and with its payload deciphered.
struct ReceivedFrame {
  int connection = 0;         // index of the connection, from 0 in accept order
  bool decoded = false;       // false: the bytes were not a gate frame
  bool enciphered = false;    // the payload was deciphered with the session key
  uint16_t kind = 0;
  uint16_t subid = 0;
  std::string text;
  std::string wire_payload;   // the payload as it travelled
  std::string payload;        // deciphered when enciphered, else the same as wire_payload
  std::string bytes;          // the whole frame
};

class GateConnection {
 public:
  GateConnection(LocalGate* gate, int index, event_base* base, int fd);
  ~GateConnection();
  GateConnection(const GateConnection&) = delete;
  GateConnection& operator=(const GateConnection&) = delete;

  int index() const { return index_; }
  bool open() const { return bev_ != nullptr; }
  bool enciphered() const { return cipher_ != nullptr; }

  // Sends one frame; the payload is enciphered once the session key is set.
  void SendFrame(uint16_t kind, uint16_t subid, const std::string& payload,
                 const std::string& text = "");
  // Sends bytes as they are: garbage, over-cap lengths, several frames coalesced into one write.
  void SendRaw(const std::string& bytes);
  // Sends bytes one per write, `gap_ms` apart.
  void SendBytewise(const std::string& bytes, int gap_ms = 1);
  // From now on payloads both ways travel enciphered with key_bytes + the fixed suffix.
  void SetSessionKey(const std::string& key_bytes);
  // A clean close once queued bytes are out, or a reset at once.
  void Close();
  void Reset();

 private:
  static void ReadCallback(bufferevent* bev, void* arg);
  static void WriteCallback(bufferevent* bev, void* arg);
  static void EventCallback(bufferevent* bev, short events, void* arg);
  static void BytewiseCallback(evutil_socket_t, short, void* arg);

  void CutFrames();
  void Drop(bool reset);

  LocalGate* gate_;
  int index_;
  event_base* base_;
  bufferevent* bev_;
  std::unique_ptr<Blowfish> cipher_;
  bool close_when_flushed_ = false;
  event* bytewise_timer_ = nullptr;
  std::string bytewise_left_;
  int bytewise_gap_ms_ = 1;
};

}  // namespace testgate
