// Test doubles for the protocol layer: a gate link that keeps what is sent, a poster that keeps
// what reaches the window, and a log sink that keeps every record.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "gateclient/client_frame/gate_send_path.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/log/log_sink_list.h"

namespace qvc::testing_support {

struct SentCommand {
  uint16_t kind, subid;
  RoutingHeader routing;
  std::string body;  // the serialized message
};

class RecordingLink : public GateSendPath {
 public:
  void SendToGate(qv::CMD_base& command) override {
    SentCommand sent{command.kind, command.subid, command.routing, {}};
    command.SerializeBody(&sent.body);
    std::lock_guard<std::mutex> lock(mu_);
    sent_.push_back(std::move(sent));
  }
  void SetNoReconnect() override { no_reconnect = true; }
  std::vector<SentCommand> Take() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::exchange(sent_, {});
  }
  // The transfers sent, unwrapped.
  std::vector<qv::gate::TransferDataReq> TakeTransfers() {
    std::vector<qv::gate::TransferDataReq> out;
    for (const SentCommand& sent : Take()) {
      qv::gate::TransferDataReq transfer;
      if (sent.kind == 12 && sent.subid == 3 && transfer.ParseFromString(sent.body))
        out.push_back(transfer);
    }
    return out;
  }
  bool no_reconnect = false;

 private:
  std::mutex mu_;
  std::vector<SentCommand> sent_;
};

// The window: keeps (kind, subid, app session) of every command, texts apart.
class WindowRecorder : public NetResultPoster {
 public:
  struct Seen {
    uint16_t kind, subid;
    uint64_t app_session;
  };
  bool PostToMainWindow(uint32_t, NetResultRecord* record) override {
    if (record->command->kind == 5) {
      texts.push_back(record->command->payload);
    } else {
      seen.push_back({record->command->kind, record->command->subid, record->app_session});
      if (order != nullptr) order->push_back("window");
    }
    FinishNetResult(record);
    return true;
  }
  std::vector<Seen> seen;
  std::vector<std::string> texts;
  std::vector<std::string>* order = nullptr;
};

// Every log record of the process, kept.
struct LogCapture {
  struct Record {
    int level;
    std::string text;
  };
  static std::vector<Record>& Records() {
    static std::vector<Record> records;
    return records;
  }
  static void Sink(int level, const char* text, const char*, int) {
    Records().push_back({level, text});
  }
  static void Install() {
    GetLogSinkList().Add(&Sink);
    Records().clear();
  }
};

}  // namespace qvc::testing_support
