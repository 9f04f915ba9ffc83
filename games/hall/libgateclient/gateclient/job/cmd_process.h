// The interfaces between the job thread and the handlers it runs commands on.
#pragma once

#include <cstdint>

#include "gateclient/base/cmd_base.h"

class IJobProcessPool;

// A handler on the job thread. The pool calls OnAttach, OnCommand and OnTimer of all its handlers
// one at a time, on the job thread only.
class ICmdProcess {
 public:
  virtual ~ICmdProcess() = default;
  // Called once, before the first command, with 0 and the pool. The result is ignored.
  virtual bool OnAttach(uint32_t ignored, IJobProcessPool* pool) = 0;
  // Not called by the pool.
  virtual void Reset() = 0;
  // One dispatched command. The pool releases it after the call; a handler that keeps it adds a
  // reference of its own.
  virtual void OnCommand(qv::CMD_base* command, uint32_t ignored) = 0;
  // One timer round; `now_ms` is milliseconds since the pool started.
  virtual void OnTimer(uint64_t now_ms, uint32_t ignored) = 0;
};

// A pool of handlers fed by one worker thread.
class IJobProcessPool {
 public:
  // Files `handler` for commands of `kind`, replacing an earlier one; kind 0 also makes it the
  // handler of every kind without an entry. REQUIRES: called before Start.
  virtual void RegisterProcess(ICmdProcess* handler, uint16_t kind) = 0;
  // Queues `command` (delay 0: next round; else after `delay` ms). Any thread. The caller's
  // reference passes to the pool.
  virtual void PostCommand(qv::CMD_base* command) = 0;
  // Waits for the worker to end, releases every command still queued and frees the pool.
  virtual void WaitAndDestroy() = 0;
  // Starts the worker thread. False when it is already running or cannot be started.
  virtual bool Start(uint32_t ignored) = 0;
  // Asks the worker to end after its current round.
  virtual void Stop() = 0;

 protected:
  ~IJobProcessPool() = default;  // freed through WaitAndDestroy
};
