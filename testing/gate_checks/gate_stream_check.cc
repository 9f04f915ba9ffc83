#include "testing/gate_checks/gate_stream_check.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/util.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "gateclient/base/network_commands.h"
#include "gateclient/base/routing_header.h"
#include "gateclient/net/client_net_agent.h"
#include "gateclient/net/conn_manager.h"
#include "gateclient/net/frame_cutter.h"
#include "gateclient/net/frame_limits.h"
#include "gateclient/net/packet_frame.h"
#include "gateclient/net/qconn_channel.h"
#include "interface/command_ids.h"
#include "platform/net.h"

namespace gatecheck {
namespace {

using gateframe::CutResult;

// What the network agent hands its direct handler: one data message per frame.
class MessageRecorder : public ICmdProcess {
 public:
  struct Seen {
    uint16_t tag, kind, subid;
    std::string text, payload;
    RoutingHeader routing;
  };

  bool OnAttach(uint32_t, IJobProcessPool*) override { return true; }
  void Reset() override {}
  void OnCommand(qv::CMD_base* command, uint32_t) override {
    if (command->kind != qv::cmd::kKindNetwork ||
        command->subid != qv::CMDNetwork_DataMessage::kSubId) {
      ++others;
      return;
    }
    const auto* m = static_cast<qv::CMDNetwork_DataMessage*>(command);
    messages.push_back({m->tag, m->gate_kind, m->gate_subid, m->text, m->payload, m->routing});
  }
  void OnTimer(uint64_t, uint32_t) override {}

  std::vector<Seen> messages;
  int others = 0;
};

// The agent posts only connection events to its pool, and the channel below never connects.
class NoPool : public IJobProcessPool {
 public:
  void RegisterProcess(ICmdProcess*, uint16_t) override {}
  void PostCommand(qv::CMD_base* command) override {
    ++posted;
    qv::ReleaseCommand(command);
  }
  void WaitAndDestroy() override {}
  bool Start(uint32_t) override { return true; }
  void Stop() override {}
  int posted = 0;
};

// The real network agent, started once for every check, with the recorder as its direct
// handler: the frames a channel cuts reach it as they do in the hall.
struct AgentUnderTest {
  AgentUnderTest() { ok = agent.Init(&pool, 0, 0, 0, 0, &recorder); }
  NoPool pool;
  MessageRecorder recorder;
  ClientNetAgent agent;
  bool ok = false;
};

AgentUnderTest& Agent() {
  static AgentUnderTest agent;  // its thread is joined when the program ends
  return agent;
}

constexpr uint64_t kChannelId = 1;
constexpr uint32_t kChannelContext = 0x5eed;

// A channel that never reports itself connected, so giving up calls OnConnectFailed, which here
// only notes it instead of asking a manager to destroy the channel. Every frame also goes on to
// the sink, as the channel's own OnFrame hands it.
class RecordingChannel : public QConnChannel {
 public:
  RecordingChannel(event_base* base, bufferevent* bev, ICMGR_ChannelSink* sink)
      : QConnChannel(nullptr, base, bev, kChannelId, sink, kChannelContext, "stream-check") {}
  void OnFrame(const void* frame, uint32_t length) override {
    frames.emplace_back(static_cast<const char*>(frame), length);
    delivered += length;
    QConnChannel::OnFrame(frame, length);
  }
  void OnConnectFailed() override { failed = true; }

  std::vector<std::string> frames;
  uint64_t delivered = 0;
  bool failed = false;
};

// Chunk sizes from 1 to 2^(seed % 15) bytes, from a small generator seeded by `seed`.
class ChunkSizes {
 public:
  explicit ChunkSizes(uint8_t seed) : state_(0x9e3779b9u ^ seed), top_(1u << (seed % 15)) {}
  size_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return 1 + state_ % top_;
  }

 private:
  uint32_t state_;
  uint32_t top_;
};

struct Reference {
  std::vector<std::string> frames;
  bool too_long = false;
};

std::string CutAtOnce(const std::string& stream, Reference* ref) {
  size_t at = 0;
  for (;;) {
    const size_t buffered = stream.size() - at;
    uint8_t prefix[gateframe::kLengthPrefixBytes] = {};
    std::memcpy(prefix, stream.data() + at, std::min<size_t>(buffered, sizeof(prefix)));
    uint64_t total = 0;
    const CutResult cut = gateframe::CutFrame(prefix, buffered, &total);
    if (cut == CutResult::kLengthTooLong) {
      const uint64_t length = (uint64_t{prefix[0]} << 24) | (uint64_t{prefix[1]} << 16) |
                              (uint64_t{prefix[2]} << 8) | prefix[3];
      if (buffered < 4 || length + 4 <= gateframe::kMaxFrameBytes)
        return "cutter refused a length within the cap";
      ref->too_long = true;
      return "";
    }
    if (cut == CutResult::kNeedMore) {
      if (buffered >= 4 && total <= buffered)
        return "cutter wants more than a whole frame";
      return "";
    }
    if (total < gateframe::kLengthPrefixBytes || total > gateframe::kMaxFrameBytes ||
        total > buffered) {
      return "cutter cut a frame of " + std::to_string(total) + " bytes from " +
             std::to_string(buffered);
    }
    ref->frames.push_back(stream.substr(at, total));
    at += total;
  }
}

// Runs the loop until every byte written has left the socket; with `settle`, also until the
// channel has cut what it read.
bool Pump(event_base* base, bufferevent* bev, const RecordingChannel& channel, uint64_t written,
          bool settle) {
  for (int pass = 0; pass < 10000; ++pass) {
    event_base_loop(base, EVLOOP_NONBLOCK);
    if (channel.failed)
      return true;
    const uint64_t buffered = evbuffer_get_length(bufferevent_get_input(bev));
    if (channel.delivered + buffered == written) {
      if (settle) {
        // The deferred read callback of the last read may still be queued.
        event_base_loop(base, EVLOOP_NONBLOCK);
        event_base_loop(base, EVLOOP_NONBLOCK);
      }
      return true;
    }
  }
  return false;
}

std::string FeedChannel(uint8_t seed, const std::string& stream, std::vector<std::string>* frames,
                        bool* failed) {
  evutil_socket_t fds[2];
  if (evutil_socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
    return "no socket pair";
  evutil_make_socket_nonblocking(fds[0]);
  evutil_make_socket_nonblocking(fds[1]);
  // One loop for every check: making an event base costs more than the rest of a small input.
  static event_base* const base = event_base_new();
  bufferevent* bev = bufferevent_socket_new(
      base, fds[0], BEV_OPT_CLOSE_ON_FREE | BEV_OPT_DEFER_CALLBACKS | BEV_OPT_UNLOCK_CALLBACKS);
  std::string failure;
  {
    auto* channel = new RecordingChannel(base, bev, &Agent().agent);
    channel->Enable();
    ChunkSizes sizes(seed);
    uint64_t written = 0;
    for (size_t at = 0; at < stream.size() && !channel->failed && failure.empty();) {
      const size_t n = std::min(sizes.Next(), stream.size() - at);
      const long sent = platform::SendNow(fds[1], stream.data() + at, n);
      if (sent < 0)
        failure = "write to the socket pair failed";
      if (sent > 0) {
        at += static_cast<size_t>(sent);
        written += static_cast<uint64_t>(sent);
      }
      if (failure.empty() && !Pump(base, bev, *channel, written, at == stream.size()))
        failure = "the channel stopped reading";
    }
    *frames = std::move(channel->frames);
    *failed = channel->failed;
    delete channel;  // frees the bufferevent and closes fds[0]
  }
  evutil_closesocket(fds[1]);
  return failure;
}

uint16_t U16(const std::string& s, size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(s[at]) << 8) |
                               static_cast<uint8_t>(s[at + 1]));
}

std::string CheckRoutingHeader(const std::string& payload) {
  RoutingHeader untouched;
  untouched.connid = 99;
  RoutingHeader probe = untouched;
  if (DecodeRoutingHeader(payload.data(), std::min<size_t>(payload.size(), kRoutingHeaderSize - 1),
                          &probe) ||
      !(probe == untouched)) {
    return "routing header decoded from fewer than 72 bytes";
  }
  if (payload.size() < kRoutingHeaderSize)
    return "";
  RoutingHeader header;
  if (!DecodeRoutingHeader(payload.data(), payload.size(), &header))
    return "routing header refused 72 bytes";
  uint8_t encoded[kRoutingHeaderSize];
  EncodeRoutingHeader(header, encoded);
  std::string expected = payload.substr(0, kRoutingHeaderSize);
  for (size_t padding : {1, 2, 3, 37, 38, 39, 68, 69, 70, 71})
    expected[padding] = 0;
  if (std::memcmp(encoded, expected.data(), kRoutingHeaderSize) != 0)
    return "routing header does not re-encode to its bytes";
  RoutingHeader again;
  if (!DecodeRoutingHeader(encoded, sizeof(encoded), &again) || !(again == header))
    return "routing header does not decode back from its encoding";
  return "";
}

std::string CheckFrame(const std::string& frame) {
  const size_t n = frame.size();
  gateframe::PacketFrame decoded;
  decoded.kind = 0xbeef;
  const gateframe::DecodeError error = gateframe::DecodeFrame(frame.data(), n, &decoded);
  qv::CMDNetwork_DataMessage message;
  message.gate_kind = 0xbeef;
  const bool agent_ok = DecodeFrame(frame.data(), n, &message);
  if (agent_ok != (error == gateframe::DecodeError::kNone))
    return "the agent's decode and the codec's disagree";
  if (n < gateframe::kLengthPrefixBytes + gateframe::kMinFrameLength) {
    if (error != gateframe::DecodeError::kShorterThanHeader)
      return "a frame shorter than a header decoded";
    return decoded.kind == 0xbeef && message.gate_kind == 0xbeef
               ? ""
               : "a refused frame changed its output";
  }
  const uint32_t length = (uint32_t{static_cast<uint8_t>(frame[0])} << 24) |
                          (uint32_t{static_cast<uint8_t>(frame[1])} << 16) | U16(frame, 2);
  const uint32_t header = U16(frame, 4);
  const bool fits = header >= gateframe::kMinHeaderLength && uint64_t{header} + 2 <= length;
  if (length + uint64_t{4} != n)
    return "the cutter handed a frame its prefix does not describe";
  if (!fits) {
    if (error != gateframe::DecodeError::kBadHeaderLength)
      return std::string("a bad header length gave ") + gateframe::DecodeErrorName(error);
    return decoded.kind == 0xbeef && message.gate_kind == 0xbeef
               ? ""
               : "a refused frame changed its output";
  }
  if (error != gateframe::DecodeError::kNone)
    return std::string("a well-formed frame gave ") + gateframe::DecodeErrorName(error);
  const uint32_t text_bytes = header - gateframe::kMinHeaderLength;
  const bool text_kept = text_bytes >= 1 && text_bytes <= gateframe::kMaxTextBytes;
  if (decoded.tag1 != static_cast<uint8_t>(frame[6]) ||
      decoded.tag2 != static_cast<uint8_t>(frame[7]) || decoded.kind != U16(frame, 8) ||
      decoded.subid != U16(frame, 10)) {
    return "decoded header fields are not the frame's bytes";
  }
  if (decoded.text != (text_kept ? frame.substr(12, text_bytes) : std::string()))
    return "decoded text is not the frame's text";
  if (decoded.payload != frame.substr(6 + header))
    return "decoded payload is not the frame's";
  if (message.tag != (decoded.tag1 | decoded.tag2 << 8) || message.gate_kind != decoded.kind ||
      message.gate_subid != decoded.subid || message.text != decoded.text ||
      message.payload != decoded.payload) {
    return "the agent's data message differs from the decoded frame";
  }
  // What encoding the decoded frame must give: the frame itself, or without a skipped text.
  std::string expected = frame;
  if (!text_kept && text_bytes != 0) {
    expected.erase(12, text_bytes);
    const uint32_t new_length = length - text_bytes;
    expected[0] = static_cast<char>(new_length >> 24);
    expected[1] = static_cast<char>(new_length >> 16);
    expected[2] = static_cast<char>(new_length >> 8);
    expected[3] = static_cast<char>(new_length);
    expected[4] = 0;
    expected[5] = static_cast<char>(gateframe::kMinHeaderLength);
  }
  std::string encoded;
  if (!gateframe::EncodeFrame(decoded, &encoded))
    return "a decoded frame does not encode";
  if (encoded != expected)
    return "the decoded frame does not encode back to its bytes";
  if (EncodeFrame(message) != expected)
    return "the agent's encoding differs from the codec's";
  return CheckRoutingHeader(decoded.payload);
}

// The agent's data message for `frame`: its decoded fields, or kind 0 and nothing for a frame
// that does not decode; always marked as from the channel's connection.
std::string CheckAgentMessage(const std::string& frame, const MessageRecorder::Seen& seen) {
  const RoutingHeader& r = seen.routing;
  if (r.connid != kChannelId || r.from_connection != 1 || r.conn_context != kChannelContext)
    return "the agent's data message does not name its connection";
  qv::CMDNetwork_DataMessage expected;
  DecodeFrame(frame.data(), frame.size(), &expected);  // left as made when it does not decode
  if (seen.tag != expected.tag || seen.kind != expected.gate_kind ||
      seen.subid != expected.gate_subid || seen.text != expected.text ||
      seen.payload != expected.payload) {
    return "the agent's data message is not its frame";
  }
  return "";
}

}  // namespace

std::string CheckGateStream(std::string_view input) {
  if (input.empty())
    return "";
  const uint8_t seed = static_cast<uint8_t>(input[0]);
  const std::string stream(input.substr(1));
  Reference ref;
  std::string failure = CutAtOnce(stream, &ref);
  if (!failure.empty())
    return failure;

  AgentUnderTest& agent = Agent();
  if (!agent.ok)
    return "the network agent did not start";
  agent.recorder.messages.clear();
  std::vector<std::string> frames;
  bool failed = false;
  failure = FeedChannel(seed, stream, &frames, &failed);
  if (!failure.empty())
    return failure;
  if (failed != ref.too_long)
    return failed ? "the channel gave up on a stream within the limits"
                  : "the channel kept a stream whose prefix is over the cap";
  if (frames.size() != ref.frames.size())
    return "the channel delivered " + std::to_string(frames.size()) + " frames, not " +
           std::to_string(ref.frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i] != ref.frames[i])
      return "frame " + std::to_string(i) + " differs";
  }
  if (agent.recorder.messages.size() != frames.size() || agent.recorder.others != 0 ||
      agent.pool.posted != 0) {
    return "the agent did not make one data message of each frame";
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    failure = CheckFrame(frames[i]);
    if (failure.empty())
      failure = CheckAgentMessage(frames[i], agent.recorder.messages[i]);
    if (!failure.empty())
      return failure;
  }
  return "";
}

}  // namespace gatecheck
