#include "gateclient/plan_table/plan_table.h"

#include <cstdio>
#include <utility>

#include "gateclient/command/transfer_wrap.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/ipc/win_ipc_impl.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"
#include "platform/command_line.h"
#include "platform/file_util.h"

namespace qvc {
namespace {

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

// The game has no process or thread handles here; its pid stands for both in the log.
std::string ProcessText(pid_t pid) {
  return ",process =" + Hex(static_cast<uint64_t>(pid)) +
         ",thread=" + Hex(static_cast<uint64_t>(pid));
}

std::array<unsigned char, kIpcRoutingBytes> RoutingBytes(const RoutingHeader& routing) {
  std::array<unsigned char, kIpcRoutingBytes> bytes{};
  EncodeRoutingHeader(routing, bytes.data());
  return bytes;
}

}  // namespace

PlanTable::PlanTable(const PlanTableEnv& env) : env_(env) {
  if (env_.make_channel) {
    ipc_ = env_.make_channel();
  } else {
    auto channel = std::make_unique<WinIpcImpl>();
    // Messages the channel has to drop (too long, corrupt) are logged with the gate client's.
    channel->SetLog([](int level, const std::string& text) { GC_LOG(level) << text; });
    ipc_ = std::move(channel);
  }
}

PlanTable::~PlanTable() {
  {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    stop_watch_ = true;
  }
  watch_wake_.notify_all();
  if (watcher_.joinable())
    watcher_.join();
  ipc_->Close();
}

bool PlanTable::StartGame(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  if (started_)
    return false;  // one game per table
  started_ = true;
  key_ = static_cast<uint64_t>(key_low) | (static_cast<uint64_t>(key_high) << 32);
  const uint32_t hall_pid = static_cast<uint32_t>(env_.launcher->CurrentPid());
  if (!ipc_->Open(hall_pid, key_, this, false))
    return false;

  LaunchContext context{hall_pid, 0, key_};
  if (std::unique_ptr<qv::CMD_base> login = env_.host->StoredLoginReply()) {
    if (auto* reply = dynamic_cast<qv::CmdLoginRsp*>(login.get()))
      context.user_id = reply->message.user_id();
  }
  std::string second_piece;
  command_line_ = BuildLaunchParams(command, env_.games, context, &values_, &second_piece);
  if (command.kind == qv::cmd::kKindMatchClient)
    GC_LOG(kLogEvent) << " 游戏启动参数:" << second_piece;

  // The game's runtime splits its command line the same way. A line that begins with its blank
  // names no executable (the game kind is not configured): nothing to start.
  std::vector<std::string> argv = platform::SplitCommandLine(command_line_);
  std::unique_ptr<platform::Process> process;
  std::string error;
  if (!command_line_.empty() && command_line_.front() != ' ' && !argv.empty()) {
    platform::LaunchOptions options;
    options.program = argv.front().front() == '/'
                          ? argv.front()
                          : platform::JoinPath(env_.program_dir, argv.front());
    options.args.assign(argv.begin() + 1, argv.end());
    options.working_dir = env_.program_dir;
    process = env_.launcher->Launch(options, &error);
  }
  const pid_t pid = process ? process->pid() : 0;
  GC_LOG(kLogEvent) << "启动客户端:result=" << (process ? 1 : 0) << ProcessText(pid);
  if (!process)
    return false;

  pending_frame_ = FrameFor(command);
  {
    std::lock_guard<std::mutex> lock(process_mutex_);
    process_ = std::move(process);
  }
  active_ = true;
  watcher_ = std::thread([this] { WatchGame(); });
  return true;
}

bool PlanTable::SendPending() {
  if (pending_frame_.empty())
    return false;
  std::string frame = std::exchange(pending_frame_, std::string());
  ipc_->Send(frame.data(), static_cast<uint32_t>(frame.size()));
  return true;
}

void PlanTable::SendToGame(qv::CMD_base& command) {
  std::string bytes = FrameFor(command);
  ipc_->Send(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::string PlanTable::FrameFor(qv::CMD_base& command) {
  HallFrame frame;
  frame.routing = RoutingBytes(command.routing);
  if (command.kind == qv::cmd::kKindNetwork) {
    frame.type = kIpcFrameConnectionState;
    frame.kind = command.kind;
    frame.subid = command.subid;
  } else {
    qv::CmdTransferDataReq wrapper;
    qv::WrapIntoTransferData(command, wrapper);
    if (!command.payload.empty())
      wrapper.message.set_data(command.payload);
    wrapper.message.SerializePartialToString(&frame.body);
    frame.type = kIpcFrameMessage;
    frame.kind = qv::cmd::kKindGate;
    frame.subid = qv::cmd::gate::kTransferDataReq;
  }
  return EncodeHallFrame(frame);
}

void PlanTable::OnIpcData(const void* data, uint32_t length) {
  if (data == nullptr)
    return;
  std::optional<GameFrame> frame =
      DecodeGameFrame(std::string_view(static_cast<const char*>(data), length));
  if (!frame || frame->type != kIpcFrameMessage)
    return;
  auto message = std::make_unique<qv::CMDNetwork_DataMessage>();
  message->gate_kind = frame->kind;
  message->gate_subid = frame->subid;
  message->payload = std::move(frame->payload);
  env_.host->SendGameMessage(std::move(message));
}

void PlanTable::Close() {
  active_ = false;
  ipc_->Close();
  watch_wake_.notify_all();
}

bool PlanTable::TerminateGame(uint32_t wait_ms) {
  std::lock_guard<std::mutex> lock(process_mutex_);
  if (!process_)
    return false;
  platform::ExitStatus status;
  if (process_->Wait(wait_ms, &status) != platform::WaitOutcome::kRunning)
    return false;
  bool ended = process_->Terminate();
  if (ended)
    process_.reset();
  return ended;
}

void PlanTable::WatchGame() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(watch_mutex_);
      if (watch_wake_.wait_for(lock, std::chrono::milliseconds(kWatchIntervalMs),
                               [this] { return stop_watch_ || !active_.load(); }))
        break;
    }
    if (!CheckGameExit())
      break;
  }
  // Inactive first, so whoever sees the channel closed also sees the table inactive.
  active_ = false;
  ipc_->Close();
}

bool PlanTable::CheckGameExit() {
  std::lock_guard<std::mutex> lock(process_mutex_);
  if (!process_)
    return false;  // ended by TerminateGame
  platform::ExitStatus status;
  platform::WaitOutcome outcome = process_->Wait(kExitWaitMs, &status);
  if (outcome == platform::WaitOutcome::kRunning)
    return active_.load();
  // A failed wait means the game can no longer be watched: treat it as gone.
  GC_LOG(kLogEvent) << "程序现在应当退出了:" << status.code << ProcessText(process_->pid());
  process_.reset();
  active_ = false;
  return false;
}

}  // namespace qvc
