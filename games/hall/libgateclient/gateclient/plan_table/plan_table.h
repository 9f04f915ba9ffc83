// The hall's side of one running match: launches the game client with the launch parameter
// string, bridges the match's messages between the gate and the game's channel, and watches the
// game until it exits.
//
// Threads: StartGame, SendToGame and the destructor run on the owner's thread (the job thread);
// OnIpcData on the channel's worker; the watch loop on the table's own thread, which the
// destructor joins. `active_` is the only state the watch thread and the owner share besides the
// process, which `process_mutex_` guards.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "gateclient/base/cmd_base.h"
#include "gateclient/ipc/win_ipc.h"
#include "gateclient/plan_table/launch_params.h"
#include "gateclient/plan_table/plan_host.h"
#include "platform/process.h"

namespace qvc {

// What every table of one manager shares.
struct PlanTableEnv {
  PlanHost* host = nullptr;
  platform::ProcessLauncher* launcher = nullptr;
  GameListConfig games;
  // The hall's own folder: where relative executables are found and the game's working folder.
  std::string program_dir;
  // Makes a table's channel; null makes a WinIpcImpl.
  std::function<std::unique_ptr<IWinIpc>()> make_channel;
};

class PlanTable : public IWinIpcCallback {
 public:
  // Pause of the watch loop between two looks at the game.
  static constexpr uint32_t kWatchIntervalMs = 10;
  // How long one look waits for the game to end.
  static constexpr uint32_t kExitWaitMs = 40;

  // REQUIRES: env.host and env.launcher outlive the table.
  explicit PlanTable(const PlanTableEnv& env);
  // Stops and joins the watch thread and closes the channel. A running game is left running.
  ~PlanTable() override;
  PlanTable(const PlanTable&) = delete;
  PlanTable& operator=(const PlanTable&) = delete;

  // Opens the channel for the key, launches the game and starts watching it. False when the
  // channel cannot be opened or the game cannot be started (then nothing runs but the open
  // channel, which the destructor closes). Called once; a second call returns false.
  bool StartGame(qv::CMD_base& command, uint32_t key_low, uint32_t key_high);

  // Frames `command` for the game and queues it on the channel.
  void SendToGame(qv::CMD_base& command);

  // A frame from the game (channel worker): a type-0 frame goes to the gate, anything else is
  // dropped.
  void OnIpcData(const void* data, uint32_t length) override;

  // Closes the channel and marks the table inactive; the watch thread ends at its next look.
  void Close();

  // Ends the game when it does not end by itself within `wait_ms`. True when it was ended.
  bool TerminateGame(uint32_t wait_ms);

  // True from a successful launch until the game has exited.
  bool active() const { return active_.load(); }
  uint64_t key() const { return key_; }
  const LaunchValues& launch_values() const { return values_; }
  // The command line the game was started with.
  const std::string& command_line() const { return command_line_; }

  // Sends the launching command to the game, once: the manager calls it after the stored
  // replies. The frame is built at the launch, so the command itself is not kept. False when it
  // was already sent or nothing was launched.
  bool SendPending();

 private:
  static std::string FrameFor(qv::CMD_base& command);
  void WatchGame();
  // False once the game has exited (logged then, once).
  bool CheckGameExit();

  PlanTableEnv env_;
  std::unique_ptr<IWinIpc> ipc_;
  std::atomic<bool> active_{false};
  bool started_ = false;  // StartGame was called
  uint64_t key_ = 0;
  LaunchValues values_;
  std::string command_line_;
  std::string pending_frame_;  // empty once sent

  std::mutex process_mutex_;
  std::unique_ptr<platform::Process> process_;  // null before the launch and after the exit

  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;
  bool stop_watch_ = false;  // guarded by watch_mutex_
  std::thread watcher_;
};

}  // namespace qvc
