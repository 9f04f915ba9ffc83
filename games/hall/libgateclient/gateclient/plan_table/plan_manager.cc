#include "gateclient/plan_table/plan_manager.h"

#include <utility>
#include <vector>

#include "gateclient/command/typed_commands.h"
#include "gateclient/plan_table/command_message.h"
#include "interface/command_ids.h"

namespace qvc {
namespace {

uint64_t Key(uint32_t low, uint32_t high) {
  return static_cast<uint64_t>(low) | (static_cast<uint64_t>(high) << 32);
}

// Application type of the match service the MayIBack2MP request goes to.
constexpr uint32_t kMatchServiceAppType = 15;
constexpr uint32_t kLogoutAnotherLogin = 1;
constexpr int kJoinAccepted = 0;
constexpr int kJoinInMatch = 10;

}  // namespace

PlanManager::PlanManager(PlanTableEnv env) : env_(std::move(env)) {}

PlanManager::~PlanManager() {
  std::map<uint64_t, std::shared_ptr<PlanTable>> tables;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tables.swap(tables_);
  }
  // Destroying the tables joins their watch threads.
}

size_t PlanManager::table_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tables_.size();
}

std::shared_ptr<PlanTable> PlanManager::FindTable(uint64_t key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tables_.find(key);
  return it == tables_.end() ? nullptr : it->second;
}

bool PlanManager::HasTable(uint64_t key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tables_.count(key) != 0;
}

void PlanManager::OnMatchClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  const uint64_t key = Key(key_low, key_high);
  bool delivered = false;
  std::shared_ptr<PlanTable> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = tables_.find(key);
    if (it != tables_.end()) {
      if (it->second->active()) {
        it->second->SendToGame(command);
        delivered = true;
      } else {
        ended = std::move(it->second);
        tables_.erase(it);
      }
    }
  }
  if (ended) {
    ended->Close();
    ended.reset();  // outside the lock: joins the table's watch thread
  }
  if (delivered)
    return;

  namespace mc = qv::cmd::matchclient;
  if (command.subid == mc::kMatchStart) {
    if (!HasTable(key))
      CreateTable(command, key);
  } else if (command.subid == mc::kJoinRsp) {
    qv::matchclient::JoinRsp join = MessageOf<qv::CmdJoinRsp>(command);
    if (join.join_result() == kJoinAccepted && !join.is_quit() && join.start_game())
      OpenTable(command, key);
    if (join.join_result() == kJoinInMatch && join.mp_appid() != 0) {
      qv::CmdMayIBack2MP back;
      back.message.set_plan_id(static_cast<uint32_t>(join.plan_id()));
      back.message.set_match_id(join.match_id());
      back.routing.apptype = kMatchServiceAppType;
      back.routing.appid = join.mp_appid();
      host().SendThroughGate(back);
    }
  }
}

void PlanManager::OpenTable(qv::CMD_base& command, uint64_t key) {
  if (!HasTable(key))
    CreateTable(command, key);
}

bool PlanManager::CreateTable(qv::CMD_base& command, uint64_t key) {
  qv::AddRefCommand(&command);
  auto table = std::make_shared<PlanTable>(env_);
  bool started =
      table->StartGame(command, static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32));
  if (started)
    AddTable(table);
  else
    table->Close();
  table.reset();
  qv::ReleaseCommand(&command);
  return started;
}

void PlanManager::AddTable(std::shared_ptr<PlanTable> table) {
  std::shared_ptr<PlanTable> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<PlanTable>& slot = tables_[table->key()];
    replaced = std::exchange(slot, table);
  }
  if (replaced)
    replaced->Close();  // destroyed outside the lock, where its watch thread is joined
  if (std::unique_ptr<qv::CMD_base> login = host().StoredLoginReply())
    table->SendToGame(*login);
  const uint32_t plan_id = static_cast<uint32_t>(table->key());
  if (std::unique_ptr<qv::CMD_base> detail = host().StoredMatchDetail(plan_id))
    table->SendToGame(*detail);
  else
    host().RequestMatchDetail(plan_id);
  table->SendPending();
}

void PlanManager::OnHallClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  uint64_t key = Key(key_low, key_high);
  if (command.subid == qv::cmd::hallclient::kGetMatchDetailRsp)
    key = MessageOf<qv::CmdGetMatchDetailRsp>(command).plan_id();
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tables_.find(key);
  if (it != tables_.end() && it->second->active())
    it->second->SendToGame(command);
}

void PlanManager::OnClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) {
  const uint64_t key = Key(key_low, key_high);
  // A game that has exited has no channel left to receive a broadcast.
  auto to_all = [&] {
    for (auto& [k, table] : tables_) {
      if (table->active())
        table->SendToGame(command);
    }
  };
  std::lock_guard<std::mutex> lock(mutex_);
  if (key != 0) {
    auto it = tables_.find(key);
    if (it != tables_.end() && it->second->active())
      it->second->SendToGame(command);
  } else {
    to_all();
  }
  if (key != 0 && command.subid == qv::cmd::client::kLogoutRsp &&
      MessageOf<qv::CmdLogoutRsp>(command).logout_reason() == kLogoutAnotherLogin)
    to_all();
}

void PlanManager::OnNetworkCmd(qv::CMD_base& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [k, table] : tables_) {
    if (table->active())
      table->SendToGame(command);
  }
}

void PlanManager::TerminateGames() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [k, table] : tables_)
    table->TerminateGame(kTerminateWaitMs);
}

}  // namespace qvc
