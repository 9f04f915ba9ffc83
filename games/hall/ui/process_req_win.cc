#include "games/hall/ui/process_req_win.h"

#include <algorithm>

namespace hall {

ProcessReqWin::ProcessReqWin() {
  ProcessReqWinRegistry::Instance().Add(this);
}

ProcessReqWin::~ProcessReqWin() {
  ProcessReqWinRegistry::Instance().Remove(this);
}

void ProcessReqWin::OnNetResult(qv::CMD_base*, uint32_t, uint32_t) {}

ProcessReqWinRegistry& ProcessReqWinRegistry::Instance() {
  static ProcessReqWinRegistry registry;
  return registry;
}

void ProcessReqWinRegistry::Add(ProcessReqWin* window) {
  pending_additions_.push_back(window);
  ApplyAdditions();
}

void ProcessReqWinRegistry::Remove(ProcessReqWin* window) {
  // A window made and destroyed within one walk never joined: it must not join afterwards.
  const auto pending = std::find(pending_additions_.begin(), pending_additions_.end(), window);
  if (pending != pending_additions_.end()) {
    pending_additions_.erase(pending);
    if (std::find(registered_.begin(), registered_.end(), window) == registered_.end())
      return;
  }
  pending_removals_.push_back(window);
  ApplyRemovals();
}

void ProcessReqWinRegistry::ApplyAdditions() {
  if (depth_ > 0)
    return;
  for (ProcessReqWin* w : pending_additions_) {
    if (std::find(registered_.begin(), registered_.end(), w) == registered_.end()) {
      registered_.push_back(w);
    }
  }
  pending_additions_.clear();
}

void ProcessReqWinRegistry::ApplyRemovals() {
  if (depth_ > 0)
    return;
  for (ProcessReqWin* w : pending_removals_) {
    const auto it = std::find(registered_.begin(), registered_.end(), w);
    if (it != registered_.end())
      registered_.erase(it);
  }
  pending_removals_.clear();
}

bool ProcessReqWinRegistry::PendingRemoval(const ProcessReqWin* window) const {
  return std::find(pending_removals_.begin(), pending_removals_.end(), window) !=
         pending_removals_.end();
}

void ProcessReqWinRegistry::Dispatch(qv::CMD_base* command, uint32_t a, uint32_t b) {
  ++depth_;
  // The list does not change during the walk (changes wait), so its iterators stay valid.
  for (ProcessReqWin* w : registered_) {
    if (!PendingRemoval(w))
      w->OnNetResult(command, a, b);
  }
  --depth_;
  ApplyAdditions();
  ApplyRemovals();
}

}  // namespace hall
