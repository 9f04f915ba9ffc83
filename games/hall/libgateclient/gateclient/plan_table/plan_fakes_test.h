// Stand-ins for the gate client, the channel and the process launcher, shared by the plan table
// and plan manager tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gate/gate.pb.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/ipc/win_ipc.h"
#include "gateclient/plan_table/plan_host.h"
#include "gateclient/plan_table/plan_table.h"
#include "platform/process.h"

namespace qvc::testing_fakes {

inline constexpr pid_t kHallPid = 4321;
inline constexpr auto kEventWait = std::chrono::seconds(5);

class FakeHost : public PlanHost {
 public:
  struct Sent {
    uint16_t kind, subid;
    RoutingHeader routing;
    std::string body;
  };

  std::unique_ptr<qv::CMD_base> StoredLoginReply() override {
    std::lock_guard<std::mutex> lock(mu);
    if (!has_login)
      return nullptr;
    auto reply = std::make_unique<qv::CmdLoginRsp>();
    reply->message.set_user_id(user_id);
    return reply;
  }
  std::unique_ptr<qv::CMD_base> StoredMatchDetail(uint32_t plan_id) override {
    std::lock_guard<std::mutex> lock(mu);
    if (!has_detail)
      return nullptr;
    auto detail = std::make_unique<qv::CmdGetMatchDetailRsp>();
    detail->message.set_plan_id(plan_id);
    return detail;
  }
  void RequestMatchDetail(uint32_t plan_id) override {
    std::lock_guard<std::mutex> lock(mu);
    detail_requests.push_back(plan_id);
  }
  void SendThroughGate(qv::CMD_base& command) override {
    std::lock_guard<std::mutex> lock(mu);
    Sent s{command.kind, command.subid, command.routing, {}};
    command.SerializeBody(&s.body);
    through_gate.push_back(s);
  }
  void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) override {
    std::lock_guard<std::mutex> lock(mu);
    game_messages.push_back({message->gate_kind, message->gate_subid, {}, message->payload});
    cv.notify_all();
  }
  // Waits until `n` game messages have arrived.
  bool WaitGameMessages(size_t n) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, kEventWait, [&] { return game_messages.size() >= n; });
  }

  std::mutex mu;
  std::condition_variable cv;
  bool has_login = true;
  uint64_t user_id = 900;
  bool has_detail = true;
  std::vector<uint32_t> detail_requests;
  std::vector<Sent> through_gate;
  std::vector<Sent> game_messages;
};

// What one fake channel saw; outlives the channel so tests can read it after the table is gone.
struct ChannelLog {
  std::mutex mu;
  std::condition_variable cv;
  bool open_result = true;
  int opens = 0;
  uint32_t process_id = 0;
  uint64_t key = 0;
  bool client = true;
  IWinIpcCallback* callback = nullptr;
  int closes = 0;
  std::vector<std::string> frames;

  bool WaitClosed() {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, kEventWait, [&] { return closes > 0; });
  }
  std::vector<std::string> Frames() {
    std::lock_guard<std::mutex> lock(mu);
    return frames;
  }
};

class FakeChannel : public IWinIpc {
 public:
  explicit FakeChannel(std::shared_ptr<ChannelLog> log) : log_(std::move(log)) {}
  bool Open(uint32_t process_id, uint64_t key, IWinIpcCallback* callback, bool client) override {
    std::lock_guard<std::mutex> lock(log_->mu);
    ++log_->opens;
    log_->process_id = process_id;
    log_->key = key;
    log_->client = client;
    log_->callback = callback;
    return log_->open_result;
  }
  void Send(const void* data, uint32_t length) override {
    std::lock_guard<std::mutex> lock(log_->mu);
    log_->frames.emplace_back(static_cast<const char*>(data), length);
  }
  void Close() override {
    std::lock_guard<std::mutex> lock(log_->mu);
    ++log_->closes;
    log_->cv.notify_all();
  }

 private:
  std::shared_ptr<ChannelLog> log_;
};

struct ProcessState {
  std::mutex mu;
  std::condition_variable cv;
  bool exited = false;
  int code = 0;
  bool terminated = false;

  void Exit(int exit_code) {
    std::lock_guard<std::mutex> lock(mu);
    exited = true;
    code = exit_code;
    cv.notify_all();
  }
};

class FakeProcess : public platform::Process {
 public:
  FakeProcess(pid_t pid, std::shared_ptr<ProcessState> state)
      : pid_(pid), state_(std::move(state)) {}
  pid_t pid() const override { return pid_; }
  platform::WaitOutcome Wait(uint32_t timeout_ms, platform::ExitStatus* status) override {
    std::unique_lock<std::mutex> lock(state_->mu);
    if (!state_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return state_->exited; }))
      return platform::WaitOutcome::kRunning;
    status->code = state_->code;
    return platform::WaitOutcome::kExited;
  }
  bool Terminate() override {
    std::lock_guard<std::mutex> lock(state_->mu);
    if (state_->exited)
      return false;
    state_->terminated = true;
    state_->exited = true;
    state_->code = -1;
    state_->cv.notify_all();
    return true;
  }

 private:
  pid_t pid_;
  std::shared_ptr<ProcessState> state_;
};

class FakeLauncher : public platform::ProcessLauncher {
 public:
  std::unique_ptr<platform::Process> Launch(const platform::LaunchOptions& options,
                                            std::string* error) override {
    std::lock_guard<std::mutex> lock(mu);
    launches.push_back(options);
    if (fail) {
      *error = "refused";
      return nullptr;
    }
    processes.push_back(std::make_shared<ProcessState>());
    return std::make_unique<FakeProcess>(static_cast<pid_t>(500 + processes.size()),
                                         processes.back());
  }
  platform::WaitOutcome WaitForPid(pid_t, uint32_t) override {
    return platform::WaitOutcome::kFailed;
  }
  bool TerminatePid(pid_t) override { return false; }
  std::vector<platform::ProcessEntry> ListProcesses() override { return {}; }
  pid_t CurrentPid() override { return kHallPid; }

  std::shared_ptr<ProcessState> Process(size_t i) {
    std::lock_guard<std::mutex> lock(mu);
    return processes.at(i);
  }
  size_t launch_count() {
    std::lock_guard<std::mutex> lock(mu);
    return launches.size();
  }

  std::mutex mu;
  bool fail = false;
  std::vector<platform::LaunchOptions> launches;
  std::vector<std::shared_ptr<ProcessState>> processes;
};

// An environment whose channels are fakes; channels() lists them in creation order.
class FakeEnv {
 public:
  FakeEnv() {
    env.host = &host;
    env.launcher = &launcher;
    env.games = {"501,502,555,100", "zop,zop,twozop,base", "rz,rz,r2,rb"};
    env.program_dir = "/opt/hall";
    env.make_channel = [this]() -> std::unique_ptr<IWinIpc> {
      auto log = std::make_shared<ChannelLog>();
      {
        std::lock_guard<std::mutex> lock(mu_);
        log->open_result = open_result;
        logs_.push_back(log);
      }
      return std::make_unique<FakeChannel>(log);
    };
  }
  std::shared_ptr<ChannelLog> channel(size_t i) {
    std::lock_guard<std::mutex> lock(mu_);
    return logs_.at(i);
  }
  size_t channel_count() {
    std::lock_guard<std::mutex> lock(mu_);
    return logs_.size();
  }

  FakeHost host;
  FakeLauncher launcher;
  bool open_result = true;
  PlanTableEnv env;

 private:
  std::mutex mu_;
  std::vector<std::shared_ptr<ChannelLog>> logs_;
};

// The (kind, subid) of the command a hall-to-game frame carries: the wrapped command's for a
// type-0 frame, the frame's own for type 1.
inline std::pair<int, int> CarriedCommand(const std::string& bytes) {
  std::optional<HallFrame> frame = DecodeHallFrame(bytes);
  if (!frame)
    return {-1, -1};
  if (frame->type != kIpcFrameMessage)
    return {frame->kind, frame->subid};
  qv::gate::TransferDataReq wrap;
  if (!wrap.ParseFromString(frame->body))
    return {-2, -2};
  return {static_cast<int>(wrap.data_cmd_kind()), static_cast<int>(wrap.data_cmd_subid())};
}

}  // namespace qvc::testing_fakes
