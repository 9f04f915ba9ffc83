// The receivers of dispatched inner commands that live outside the gate client's protocol layer:
// the hall plan manager and the match catalogue. Both are called on the job thread.
#pragma once

#include <cstdint>

#include "gateclient/base/cmd_base.h"

namespace qvc {

class PlanManagerSink {
 public:
  virtual ~PlanManagerSink() = default;
  virtual void OnClientCmd(qv::CMD_base* command, uint64_t app_session) = 0;       // kind 13
  virtual void OnMatchClientCmd(qv::CMD_base* command, uint64_t app_session) = 0;  // kind 14
  virtual void OnHallClientCmd(qv::CMD_base* command, uint64_t app_session) = 0;   // kind 18
  virtual void OnNetworkCmd(qv::CMD_base* command) = 0;  // the connection came or closed
};

class CatalogueSink {
 public:
  virtual ~CatalogueSink() = default;
  // The catalogue's own kind-18 table.
  virtual void HandleHallCommand(qv::CMD_base* command) = 0;
  // A user was authenticated: make the catalogue and start refreshing it.
  virtual void StartRefreshing() = 0;
  // The authentication ended: stop refreshing (when there is a catalogue).
  virtual void StopRefreshing() = 0;
};

}  // namespace qvc
