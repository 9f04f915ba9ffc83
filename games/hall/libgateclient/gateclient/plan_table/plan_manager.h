// The gate client's handler of match-related commands: keeps one PlanTable per running match,
// keyed by the 64-bit match key, opens a table on MatchStart and on a JoinRsp that starts the game
// at once, routes the commands of a match to its game and drops a table whose game has exited
// when the next match command for its key arrives.
//
// Threads: the On* operations and AddTable run on the job thread. `mutex_` guards `tables_` and
// is never held while a table is created, started or destroyed; the tables' own threads never
// touch the map.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "gateclient/base/cmd_base.h"
#include "gateclient/plan_table/plan_table.h"

namespace qvc {

class PlanManager {
 public:
  // REQUIRES: env.host and env.launcher outlive the manager.
  explicit PlanManager(PlanTableEnv env);
  // Stops watching every game and closes the channels; running games are left running.
  virtual ~PlanManager();
  PlanManager(const PlanManager&) = delete;
  PlanManager& operator=(const PlanManager&) = delete;

  // Every kind-14 command: to the key's running game; else MatchStart / a starting JoinRsp open
  // a table, and a JoinRsp of result 10 asks the match service to take the user back.
  virtual void OnMatchClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high);
  // Every kind-18 command: to the key's running game (a match detail by its own plan id).
  virtual void OnHallClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high);
  // Every kind-13 command: to the key's running game, or to every game for key 0; another
  // login's LogoutRsp reaches every game.
  virtual void OnClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high);
  // Gate connected / closed (kind 9): to every running game.
  virtual void OnNetworkCmd(qv::CMD_base& command);
  // Registers a started table, then sends it the stored login reply, the plan's match detail (or
  // asks the gate for it) and the command that launched it.
  virtual void AddTable(std::shared_ptr<PlanTable> table);
  // Ends every game that does not end by itself within kTerminateWaitMs.
  virtual void TerminateGames();

  static constexpr uint32_t kTerminateWaitMs = 10;

  size_t table_count() const;
  // The key's table, or null.
  std::shared_ptr<PlanTable> FindTable(uint64_t key) const;

 protected:
  // Creates a table for `key` unless there is one.
  void OpenTable(qv::CMD_base& command, uint64_t key);
  // Creates, starts and registers a table. False when the game could not be started.
  bool CreateTable(qv::CMD_base& command, uint64_t key);
  PlanHost& host() { return *env_.host; }

 private:
  bool HasTable(uint64_t key) const;

  PlanTableEnv env_;
  mutable std::mutex mutex_;
  std::map<uint64_t, std::shared_ptr<PlanTable>> tables_;
};

}  // namespace qvc
