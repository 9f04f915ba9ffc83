// What the match catalogue needs from the rest of the gate client: the send path to the gate,
// the trace text of the main window and the log sinks.
#pragma once

#include <cstdint>
#include <string>

#include <google/protobuf/message.h>

namespace qvc {

class PlanListHost {
 public:
  virtual ~PlanListHost() = default;

  // Sends a hall-catalogue request (kind 18, `subid`) through the gate, routed to
  // (`apptype`, `appid`). Called without the catalogue's lock held.
  virtual void SendHallRequest(uint16_t subid, const google::protobuf::Message& request,
                               uint32_t apptype, uint32_t appid) = 0;

  // Hands a line for the main window's trace. May be called under the catalogue's lock: it must
  // only queue the text.
  virtual void PostTrace(const std::string& text) = 0;

  // One log record at `level`. May be called under the catalogue's lock.
  virtual void Log(int level, const std::string& text) = 0;
};

}  // namespace qvc
