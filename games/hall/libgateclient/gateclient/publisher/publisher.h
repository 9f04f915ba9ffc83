// The publisher: code that waits for a command of a given (kind, subid) subscribes an object and
// is handed every matching command that passes until it says it has had enough.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "gateclient/base/cmd_base.h"
#include "gateclient/job/cmd_process.h"

namespace qvc {

class ICmdSubscriber {
 public:
  // Handles one published command; the publisher ignores the result.
  virtual int OnCommand(qv::CMD_base* command) = 0;
  // Asked right after each delivery; false makes the publisher remove and release the subscriber.
  virtual bool KeepSubscribed() = 0;
  // Destroys the subscriber.
  virtual void Release() = 0;
  virtual bool SetKeepSubscribed(bool keep) = 0;

 protected:
  ~ICmdSubscriber() = default;  // freed through Release
};

// A subscriber that calls a plain function; one-shot unless SetKeepSubscribed(true).
class SubscribeCommand final : public ICmdSubscriber {
 public:
  using Function = int (*)(qv::CMD_base* command);
  // Make with `new`; the publisher frees it through Release.
  explicit SubscribeCommand(Function function) : function_(function) {}

  int OnCommand(qv::CMD_base* command) override { return function_(command); }
  bool KeepSubscribed() override { return keep_ != 0; }
  void Release() override { delete this; }
  bool SetKeepSubscribed(bool keep) override {
    keep_ = keep ? 1 : 0;
    return keep;
  }

 private:
  ~SubscribeCommand() = default;

  uint8_t keep_ = 0;
  Function function_;
};

class Publisher final : public ICmdProcess {
 public:
  // The key of (kind, subid); subid 0 stands for every subid of the kind, key 0 for every command.
  static constexpr uint32_t Key(uint16_t kind, uint16_t subid) {
    return static_cast<uint32_t>(kind) << 16 | subid;
  }

  Publisher() = default;
  // Releases every subscriber still held.
  ~Publisher() override;
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  // Delivers `command` under its (kind, subid), then (kind, 0), then (0, 0). Subscribers run with
  // the lock held, on the caller's thread. The command's references are not touched.
  void Publish(qv::CMD_base* command);
  // Takes ownership of `subscriber` and files it under (kind, subid), once. Any thread.
  void Subscribe(ICmdSubscriber* subscriber, uint16_t kind, uint16_t subid);
  // Removes and releases `subscriber` from (kind, subid); one not found is left alone.
  void Unsubscribe(ICmdSubscriber* subscriber, uint16_t kind, uint16_t subid);

  bool OnAttach(uint32_t, IJobProcessPool*) override { return true; }
  // Forgets every subscriber without releasing it.
  void Reset() override;
  void OnCommand(qv::CMD_base* command, uint32_t) override { Publish(command); }
  void OnTimer(uint64_t, uint32_t) override {}

 private:
  void DeliverLocked(qv::CMD_base* command, uint32_t key);
  bool ContainsLocked(uint32_t key, ICmdSubscriber* subscriber) const;

  std::recursive_mutex mutex_;  // re-entrant: a one-shot's removal runs inside Publish
  std::unordered_map<uint32_t, std::list<ICmdSubscriber*>> subscribers_;
  int publishing_ = 0;  // depth of Publish calls on the lock's holder
  // Removed during a walk; released when the outermost Publish ends, so nothing a walk might
  // still look at is freed under it.
  std::vector<ICmdSubscriber*> released_;
};

}  // namespace qvc
