// The fake game client. Started by the hall (or a test) with the launch parameters on its
// command line, it opens the channel's two queues (never creates them), records every event as
// one line in the file named by TARVIX_FAKE_GAME_RECORD, sends the frames of
// TARVIX_FAKE_GAME_SEND, receives TARVIX_FAKE_GAME_EXPECT frames and exits with
// TARVIX_FAKE_GAME_EXIT. TARVIX_FAKE_GAME_MODE makes it misbehave.
//
// Record lines:
//   params <launch parameters>
//   open ok | open failed read=<code> write=<code> | no channel
//   sent type=<t> kind=<k> subid=<s> len=<frame bytes> code=<queue code>
//   recv type=<t> kind=<k> subid=<s> len=<frame bytes> routing=<hex> body=<hex> (or: recv short)
//   dropped corrupt                (the hall removed the damaged message)
//   timeout received=<n>
//   exit <code>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/queue_layout.h"
#include "gateclient/ipc/win_ipc.h"
#include "platform/file_util.h"
#include "platform/named_sync.h"
#include "platform/thread_util.h"
#include "testing/game/fake_game_options.h"

namespace fake_game {
namespace {

namespace ql = queue_layout;

// Bodies longer than this are recorded by length only.
constexpr size_t kMaxRecordedBody = 4096;

class Recorder {
 public:
  explicit Recorder(std::string path) : path_(std::move(path)) {}
  void Line(const std::string& line) {
    text_ += line;
    text_ += '\n';
    if (!path_.empty())
      platform::WriteFileAtomic(path_, text_);
  }

 private:
  std::string path_;
  std::string text_;
};

using Clock = std::chrono::steady_clock;

bool Expired(Clock::time_point deadline) {
  return Clock::now() >= deadline;
}

uint32_t Word(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void SetWord(unsigned char* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

// Queues one frame normally, then damages its first block under the queue's mutex, as a
// faulty game would.
void QueueCorrupt(CXQueue& out, const std::string& write_name, bool break_chain, Recorder& rec) {
  std::string frame = qvc::EncodeGameFrame({0, 14, 3, std::string(1500, 'c')});
  uint32_t rc = out.Write(frame.data(), static_cast<uint32_t>(frame.size()));
  platform::NamedMutex mutex;
  if (rc != kQueueOk || !mutex.Open(CXQueue::MutexName(write_name.c_str())) ||
      mutex.Lock(1000) != platform::WaitResult::kSignaled) {
    rec.Line("corrupt failed code=" + std::to_string(rc));
    return;
  }
  unsigned char* h = out.header();
  uint32_t head = Word(h + ql::kUsedHead);
  unsigned char* b = h + out.block_stride() + size_t{head} * out.block_stride();
  if (head < out.block_count()) {
    if (break_chain) {
      SetWord(b + ql::kBlockNext, head);  // the message continues into itself
    } else {
      SetWord(b + ql::kBlockLength, 0x7FFFFFF0u | ql::kContinues);
    }
  }
  mutex.Unlock();
  rec.Line(std::string("corrupted ") + (break_chain ? "chain" : "length"));
}

// Waits until the hall has taken every frame this side queued.
bool WaitDrained(CXQueue& out, Clock::time_point deadline) {
  while (!Expired(deadline)) {
    if (Word(out.header() + ql::kUsedHead) == ql::kNone)
      return true;
    platform::SleepMs(5);
  }
  return false;
}

void SendAll(CXQueue& out, const Options& o, Recorder& rec) {
  for (const qvc::GameFrame& f : o.send) {
    std::string frame = qvc::EncodeGameFrame(f);
    uint32_t rc = out.Write(frame.data(), static_cast<uint32_t>(frame.size()));
    rec.Line("sent type=" + std::to_string(f.type) + " kind=" + std::to_string(f.kind) +
             " subid=" + std::to_string(f.subid) + " len=" + std::to_string(frame.size()) +
             " code=" + std::to_string(rc));
  }
}

void RecordFrame(const std::string& bytes, Recorder& rec) {
  auto f = qvc::DecodeHallFrame(bytes);
  if (!f) {
    rec.Line("recv short len=" + std::to_string(bytes.size()) + " hex=" + Hex(bytes));
    return;
  }
  std::string body = f->body.size() <= kMaxRecordedBody ? Hex(f->body) : "(long)";
  rec.Line(
      "recv type=" + std::to_string(f->type) + " kind=" + std::to_string(f->kind) +
      " subid=" + std::to_string(f->subid) + " len=" + std::to_string(bytes.size()) + " routing=" +
      Hex(std::string_view(reinterpret_cast<const char*>(f->routing.data()), f->routing.size())) +
      " body=" + body);
}

int Run(const Options& o, Recorder& rec) {
  rec.Line("params " + o.params);
  if (!o.has_channel) {
    rec.Line("no channel");
    return kExitNoChannel;
  }
  const std::string read_name = qvc::ToClientQueueName(o.process_id, o.plan_id);
  const std::string write_name = qvc::ToServerQueueName(o.process_id, o.plan_id);
  CXQueue in, out;
  uint32_t read_rc = in.Open(read_name.c_str());
  uint32_t write_rc = out.Open(write_name.c_str());
  if (read_rc != kQueueOk || write_rc != kQueueOk) {
    rec.Line("open failed read=" + std::to_string(read_rc) + " write=" + std::to_string(write_rc));
    return kExitNoChannel;
  }
  rec.Line("open ok");
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(o.timeout_ms);

  switch (o.mode) {
    case Mode::kDieHoldingToken: {
      platform::NamedEvent token;
      bool taken = token.Open(CXQueue::WriterTokenName(read_name.c_str())) &&
                   token.Wait(1000) == platform::WaitResult::kSignaled;
      rec.Line(taken ? "holding token" : "token not taken");
      rec.Line("exit " + std::to_string(o.exit_code));
      _exit(o.exit_code);
    }
    case Mode::kDieHoldingMutex: {
      platform::NamedMutex mutex;
      bool taken = mutex.Open(CXQueue::MutexName(read_name.c_str())) &&
                   mutex.Lock(1000) == platform::WaitResult::kSignaled;
      rec.Line(taken ? "holding mutex" : "mutex not taken");
      rec.Line("exit " + std::to_string(o.exit_code));
      _exit(o.exit_code);
    }
    case Mode::kCorruptBlocks:
    case Mode::kCorruptLength:
      QueueCorrupt(out, write_name, o.mode == Mode::kCorruptBlocks, rec);
      // Good frames follow only once the hall has removed the damaged one.
      if (WaitDrained(out, deadline))
        rec.Line("dropped corrupt");
      break;
    default:
      break;
  }

  if (!o.send_after)
    SendAll(out, o, rec);
  if (o.mode == Mode::kNeverRead) {
    while (!Expired(deadline))
      platform::SleepMs(10);
    rec.Line("exit " + std::to_string(o.exit_code));
    return o.exit_code;
  }
  uint32_t received = 0;
  std::string buffer;
  while (received < o.expect && !Expired(deadline)) {
    uint32_t total = 0, seq = 0;
    uint32_t rc = in.Read(nullptr, &total, &seq, nullptr, 100);
    if (rc == kQueueEmpty) {
      in.WaitForData(2);
      continue;
    }
    if (rc != kQueueOk) {
      rec.Line("read code=" + std::to_string(rc));
      in.DropOldest();
      continue;
    }
    buffer.resize(total);
    uint32_t length = total;
    rc = in.Read(buffer.data(), &length, &seq, nullptr, 100);
    if (rc != kQueueOk)
      continue;
    buffer.resize(length);
    RecordFrame(buffer, rec);
    ++received;
    if (o.mode == Mode::kEcho) {
      auto f = qvc::DecodeHallFrame(buffer);
      if (f) {
        std::string frame = qvc::EncodeGameFrame({0, f->kind, f->subid, f->body});
        out.Write(frame.data(), static_cast<uint32_t>(frame.size()));
      }
    }
  }
  if (received < o.expect)
    rec.Line("timeout received=" + std::to_string(received));
  if (o.send_after)
    SendAll(out, o, rec);
  WaitDrained(out, deadline);
  rec.Line("exit " + std::to_string(o.exit_code));
  return o.exit_code;
}

}  // namespace
}  // namespace fake_game

int main(int argc, char** argv) {
  fake_game::Options options;
  std::string error;
  const char* (*getenv_fn)(const char*) = [](const char* n) -> const char* {
    return std::getenv(n);
  };
  if (!fake_game::ParseOptions(argc, argv, getenv_fn, &options, &error)) {
    fake_game::Recorder(options.record_path).Line("bad options: " + error);
    return 2;
  }
  fake_game::Recorder rec(options.record_path);
  return fake_game::Run(options, rec);
}
