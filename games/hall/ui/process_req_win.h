// Windows that want to see the gate client's results while they are open, and the registry the
// main window offers every result to.
//
// The registry lists windows in registration order. While a result is being offered (the walk),
// additions and removals wait in their pending lists and are applied when the outermost walk
// ends, so a walk always covers the windows registered when it began. Walks nest: a handler may
// run a modal loop in which the main window offers the next result; the depth is counted so that
// the inner walk's end does not apply the pending changes under the outer walk. A window that
// leaves the registry during a walk is destroyed or being destroyed (only the destructor removes
// it), so the walks skip it from then on.
#pragma once

#include <cstdint>
#include <list>

namespace qv {
class CMD_base;
}

namespace hall {

class ProcessReqWin {
 public:
  // Registers the window.
  ProcessReqWin();
  // Unregisters it.
  virtual ~ProcessReqWin();
  ProcessReqWin(const ProcessReqWin&) = delete;
  ProcessReqWin& operator=(const ProcessReqWin&) = delete;

  // One result of the gate client; the base does nothing.
  virtual void OnNetResult(qv::CMD_base* command, uint32_t a, uint32_t b);
};

class ProcessReqWinRegistry {
 public:
  // The process's registry, made on first use. Window thread only.
  static ProcessReqWinRegistry& Instance();

  void Add(ProcessReqWin* window);
  void Remove(ProcessReqWin* window);
  // Outside a walk: pending windows not yet registered are appended in pending order.
  void ApplyAdditions();
  // Outside a walk: the first registered entry of each pending window is erased.
  void ApplyRemovals();

  // Offers one result to every registered window in order, then applies what changed meanwhile.
  void Dispatch(qv::CMD_base* command, uint32_t a, uint32_t b);

  const std::list<ProcessReqWin*>& registered() const { return registered_; }
  bool dispatching() const { return depth_ > 0; }

 private:
  bool PendingRemoval(const ProcessReqWin* window) const;

  std::list<ProcessReqWin*> registered_;
  std::list<ProcessReqWin*> pending_additions_;
  std::list<ProcessReqWin*> pending_removals_;
  int depth_ = 0;
};

}  // namespace hall
