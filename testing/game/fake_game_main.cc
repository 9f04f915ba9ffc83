// The fake game client. Started by the hall (or a test) with the launch parameters on its
// command line, it opens the channel's two queues (never creates them), records every event as
// one line in the file named by TARVIX_FAKE_GAME_RECORD, sends the frames of
// TARVIX_FAKE_GAME_SEND, receives TARVIX_FAKE_GAME_EXPECT frames and exits with
// TARVIX_FAKE_GAME_EXIT. TARVIX_FAKE_GAME_MODE makes it misbehave.
//
// With TARVIX_FAKE_GAME_WINDOW=1 it is the demo game a person watches: a window (SDL) shows the
// launch fields and a line for every message the hall sends, and the game runs until that window
// is closed, the hall process has ended, or TARVIX_FAKE_GAME_TIMEOUT_MS (when given) has passed.
// The channel is read on a second thread, which hands the window its texts; the expected count
// only decides when a TARVIX_FAKE_GAME_SEND_AFTER list goes out. Without a display the game says
// so in its record and runs without the window.
//
// Record lines:
//   params <launch parameters>
//   open ok | open failed read=<code> write=<code> | no channel
//   sent type=<t> kind=<k> subid=<s> len=<frame bytes> code=<queue code>
//   recv type=<t> kind=<k> subid=<s> len=<frame bytes> routing=<hex> body=<hex> (or: recv short)
//   dropped corrupt                (the hall removed the damaged message)
//   timeout received=<n>
//   window shown <title> | window unavailable <why> | shown <text> | hall gone | window closed
//   exit <code>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/queue_layout.h"
#include "gateclient/ipc/win_ipc.h"
#include "platform/file_util.h"
#include "platform/named_sync.h"
#include "platform/process.h"
#include "platform/thread_util.h"
#include "skinui/message_queue.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "testing/game/fake_game_options.h"
#include "testing/game/game_window.h"
#include "testing/game/hall_message_text.h"

namespace fake_game {
namespace {

namespace ql = queue_layout;

// Bodies longer than this are recorded by length only.
constexpr size_t kMaxRecordedBody = 4096;
// How often the windowed game looks whether the hall is still there.
constexpr auto kHallWatchInterval = std::chrono::milliseconds(250);

// Written from the channel thread and, with the window, the window thread.
class Recorder {
 public:
  explicit Recorder(std::string path) : path_(std::move(path)) {}
  void Line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ += line;
    text_ += '\n';
    if (!path_.empty())
      platform::WriteFileAtomic(path_, text_);
  }

 private:
  std::mutex mutex_;
  std::string path_;
  std::string text_;  // guarded by mutex_
};

// What the channel loop does beside recording when the game has a window.
struct WindowLink {
  std::shared_ptr<GameInbox> inbox;
  const std::atomic<bool>* stop = nullptr;  // set once the window has closed
  HWND window = nullptr;
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

// Queues one message whose first block is damaged, linked in by hand under the queue's mutex as
// a faulty game would. It is damaged before it is linked: a hall that reads as soon as a message
// appears must never find it whole.
void QueueCorrupt(CXQueue& out, const std::string& write_name, bool break_chain, Recorder& rec) {
  platform::NamedMutex mutex;
  if (!mutex.Open(CXQueue::MutexName(write_name.c_str())) ||
      mutex.Lock(1000) != platform::WaitResult::kSignaled) {
    rec.Line("corrupt failed code=lock");
    return;
  }
  unsigned char* h = out.header();
  const uint32_t head = Word(h + ql::kFreeHead);
  if (head >= out.block_count() || Word(h + ql::kUsedHead) != ql::kNone) {
    mutex.Unlock();
    rec.Line("corrupt failed code=lists");
    return;
  }
  unsigned char* b = h + out.block_stride() + size_t{head} * out.block_stride();
  const uint32_t after = Word(b + ql::kBlockNext);
  std::memset(b + ql::kBlockDataOffset, 'c', out.block_data());
  SetWord(b + ql::kBlockSequence, Word(h + ql::kNextSequence));
  SetWord(b + ql::kBlockPrev, ql::kNone);
  if (break_chain) {
    SetWord(b + ql::kBlockLength, out.block_data() | ql::kContinues);
    SetWord(b + ql::kBlockNext, head);  // the message continues into itself
  } else {
    SetWord(b + ql::kBlockLength, 0x7FFFFFF0u | ql::kContinues);
    SetWord(b + ql::kBlockNext, ql::kNone);
  }
  SetWord(h + ql::kFreeHead, after);
  if (after < out.block_count())
    SetWord(h + out.block_stride() + size_t{after} * out.block_stride() + ql::kBlockPrev,
            ql::kNone);
  SetWord(h + ql::kFreeCount, Word(h + ql::kFreeCount) - 1);
  SetWord(h + ql::kUsedCount, 1);
  SetWord(h + ql::kUsedTail, head);
  SetWord(h + ql::kUsedHead, head);
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

// True when the hall that started the game (the channel's process id) has ended.
bool HallGone(uint32_t hall_pid) {
  return platform::SystemProcessLauncher().WaitForPid(static_cast<pid_t>(hall_pid), 0) ==
         platform::WaitOutcome::kExited;
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

// The game's work on the channel. Returns the exit code; the caller records it.
int Run(const Options& o, Recorder& rec, const WindowLink& link) {
  const bool windowed = link.inbox != nullptr;
  if (!o.has_channel) {
    rec.Line("no channel");
    if (windowed)
      link.inbox->SetStatus("启动参数里没有通道的进程号和方案号");
    return kExitNoChannel;
  }
  const std::string read_name = qvc::ToClientQueueName(o.process_id, o.plan_id);
  const std::string write_name = qvc::ToServerQueueName(o.process_id, o.plan_id);
  CXQueue in, out;
  uint32_t read_rc = in.Open(read_name.c_str());
  uint32_t write_rc = out.Open(write_name.c_str());
  if (read_rc != kQueueOk || write_rc != kQueueOk) {
    rec.Line("open failed read=" + std::to_string(read_rc) + " write=" + std::to_string(write_rc));
    if (windowed)
      link.inbox->SetStatus("无法打开与大厅的通道");
    return kExitNoChannel;
  }
  rec.Line("open ok");
  if (windowed)
    link.inbox->SetStatus("通道已打开，等待大厅的消息…");
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
    while (!Expired(deadline) && !(windowed && link.stop->load()))
      platform::SleepMs(10);
    return o.exit_code;
  }
  uint32_t received = 0;
  bool sent_after = !o.send_after;
  std::string buffer;
  Clock::time_point next_watch = Clock::now() + kHallWatchInterval;
  // Alone the game ends with its expected frames or its time-out; with a window, when the window
  // has closed (the window's own life ends at a given time-out).
  auto more = [&] {
    if (windowed)
      return !link.stop->load();
    return received < o.expect && !Expired(deadline);
  };
  while (more()) {
    if (!sent_after && received >= o.expect) {
      SendAll(out, o, rec);
      sent_after = true;
    }
    if (windowed && Clock::now() >= next_watch) {
      next_watch = Clock::now() + kHallWatchInterval;
      if (HallGone(o.process_id)) {
        rec.Line("hall gone");
        link.inbox->SetStatus("大厅已退出，游戏结束");
        skinui::PostMessage(link.window, WM_CLOSE, IDOK, 0);
        break;
      }
    }
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
    if (windowed)
      link.inbox->AddLine(DescribeHallFrame(buffer).text);
    if (o.mode == Mode::kEcho) {
      auto f = qvc::DecodeHallFrame(buffer);
      if (f) {
        std::string frame = qvc::EncodeGameFrame({0, f->kind, f->subid, f->body});
        out.Write(frame.data(), static_cast<uint32_t>(frame.size()));
      }
    }
  }
  if (!windowed && received < o.expect)
    rec.Line("timeout received=" + std::to_string(received));
  if (!sent_after)
    SendAll(out, o, rec);
  WaitDrained(out, windowed ? Clock::now() + std::chrono::seconds(1) : deadline);
  return o.exit_code;
}

// The demo game: the window on this thread, the channel on a second one. Returns the exit code.
int RunWithWindow(const Options& o, Recorder& rec) {
  skinui::SdlBackend backend;
  if (!backend.ok()) {
    rec.Line("window unavailable " + backend.error());
    return Run(o, rec, {});
  }
  skinui::SetBackend(&backend);
  int code = 0;
  {
    GameWindow window(ParseLaunchFields(o.params));
    window.on_shown = [&](const std::string& text) {
      rec.Line("shown " + text);
      if (!o.screenshot_path.empty())
        skinui::TestDriver::SaveScreenshot(window, o.screenshot_path);
    };
    if (!window.Open()) {
      rec.Line("window unavailable the window could not be made");
      skinui::SetBackend(nullptr);
      return Run(o, rec, {});
    }
    rec.Line("window shown " + window.Title());
    if (o.timeout_set)
      window.CloseAfter(o.timeout_ms);
    std::atomic<bool> stop{false};
    WindowLink link{window.inbox(), &stop, window.GetHWND()};
    std::thread channel([&] { code = Run(o, rec, link); });
    skinui::RunMessageLoop();
    stop = true;
    channel.join();
    rec.Line("window closed");
  }
  skinui::SetBackend(nullptr);
  return code;
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
  rec.Line("params " + options.params);
  const int code =
      options.window ? fake_game::RunWithWindow(options, rec) : fake_game::Run(options, rec, {});
  rec.Line("exit " + std::to_string(code));
  return code;
}
