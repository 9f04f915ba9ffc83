#include "testing/gate/gate_connection.h"

#include <event2/buffer.h>

#include <algorithm>
#include <vector>

#include "gateclient/command/payload_key.h"
#include "gateclient/net/frame_cutter.h"
#include "gateclient/net/frame_limits.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"
#include "testing/gate/local_gate.h"

namespace testgate {
namespace {

std::string Transform(const Blowfish& cipher, const std::string& in, bool encrypt) {
  const std::vector<uint8_t> bytes(in.begin(), in.end());
  const std::vector<uint8_t> out = encrypt ? cipher.Encrypt(bytes) : cipher.Decrypt(bytes);
  return std::string(out.begin(), out.end());
}

}  // namespace

GateConnection::GateConnection(LocalGate* gate, int index, event_base* base, int fd)
    : gate_(gate), index_(index), base_(base) {
  // The socket stays ours, so a reset can close it with a reset.
  bev_ = bufferevent_socket_new(base_, fd, 0);
  bufferevent_setcb(bev_, &GateConnection::ReadCallback, &GateConnection::WriteCallback,
                    &GateConnection::EventCallback, this);
  bufferevent_enable(bev_, EV_READ | EV_WRITE);
}

GateConnection::~GateConnection() {
  if (bytewise_timer_ != nullptr) event_free(bytewise_timer_);
  if (bev_ != nullptr) {
    const int fd = bufferevent_getfd(bev_);
    bufferevent_free(bev_);
    platform::CloseSocket(fd);
  }
}

void GateConnection::SendFrame(uint16_t kind, uint16_t subid, const std::string& payload,
                               const std::string& text) {
  gateframe::PacketFrame frame;
  frame.kind = kind;
  frame.subid = subid;
  frame.text = text;
  frame.payload = cipher_ != nullptr ? Transform(*cipher_, payload, true) : payload;
  std::string bytes;
  if (gateframe::EncodeFrame(frame, &bytes)) SendRaw(bytes);
}

void GateConnection::SendRaw(const std::string& bytes) {
  if (bev_ != nullptr) bufferevent_write(bev_, bytes.data(), bytes.size());
}

void GateConnection::SendBytewise(const std::string& bytes, int gap_ms) {
  bytewise_left_ += bytes;
  bytewise_gap_ms_ = gap_ms;
  if (bytewise_timer_ == nullptr) {
    bytewise_timer_ = evtimer_new(base_, &GateConnection::BytewiseCallback, this);
    BytewiseCallback(-1, 0, this);
  }
}

void GateConnection::BytewiseCallback(evutil_socket_t, short, void* arg) {
  auto* self = static_cast<GateConnection*>(arg);
  if (self->bytewise_left_.empty() || self->bev_ == nullptr) return;
  self->SendRaw(self->bytewise_left_.substr(0, 1));
  self->bytewise_left_.erase(0, 1);
  if (!self->bytewise_left_.empty()) {
    const timeval gap{0, self->bytewise_gap_ms_ * 1000};
    evtimer_add(self->bytewise_timer_, &gap);
  }
}

void GateConnection::SetSessionKey(const std::string& key_bytes) {
  const std::string material = qv::PayloadKeyMaterial(key_bytes);
  cipher_ = std::make_unique<Blowfish>();
  cipher_->SetKey(reinterpret_cast<const uint8_t*>(material.data()), material.size());
}

void GateConnection::Close() {
  if (bev_ == nullptr) return;
  if (evbuffer_get_length(bufferevent_get_output(bev_)) == 0) {
    Drop(false);
  } else {
    close_when_flushed_ = true;
  }
}

void GateConnection::Reset() { Drop(true); }

void GateConnection::Drop(bool reset) {
  if (bev_ == nullptr) return;
  const int fd = bufferevent_getfd(bev_);
  bufferevent_free(bev_);
  bev_ = nullptr;
  platform::CloseSocket(fd, reset);
  gate_->OnConnectionEnded(*this);
}

void GateConnection::ReadCallback(bufferevent*, void* arg) {
  static_cast<GateConnection*>(arg)->CutFrames();
}

void GateConnection::WriteCallback(bufferevent*, void* arg) {
  auto* self = static_cast<GateConnection*>(arg);
  if (self->close_when_flushed_) self->Drop(false);
}

void GateConnection::EventCallback(bufferevent*, short events, void* arg) {
  if (events & (BEV_EVENT_EOF | BEV_EVENT_ERROR)) static_cast<GateConnection*>(arg)->Drop(false);
}

void GateConnection::CutFrames() {
  evbuffer* input = bufferevent_get_input(bev_);
  while (bev_ != nullptr) {
    const size_t buffered = evbuffer_get_length(input);
    uint8_t prefix[gateframe::kLengthPrefixBytes];
    evbuffer_copyout(input, prefix, std::min(buffered, sizeof(prefix)));
    uint64_t total = 0;
    const gateframe::CutResult cut = gateframe::CutFrame(prefix, buffered, &total);
    if (cut == gateframe::CutResult::kNeedMore) return;
    if (cut != gateframe::CutResult::kFrame) {
      Drop(true);  // a length over the cap: no way to find the next frame
      return;
    }
    ReceivedFrame received;
    received.connection = index_;
    received.bytes.resize(total);
    evbuffer_remove(input, received.bytes.data(), total);
    gateframe::PacketFrame frame;
    if (gateframe::DecodeFrame(received.bytes.data(), total, &frame) ==
        gateframe::DecodeError::kNone) {
      received.decoded = true;
      received.kind = frame.kind;
      received.subid = frame.subid;
      received.text = frame.text;
      received.wire_payload = frame.payload;
      received.enciphered = cipher_ != nullptr;
      received.payload =
          cipher_ != nullptr ? Transform(*cipher_, frame.payload, false) : frame.payload;
    }
    gate_->OnReceived(*this, std::move(received));
  }
}

}  // namespace testgate
