#include "gateclient/publisher/publisher.h"

#include <algorithm>

namespace qvc {

Publisher::~Publisher() {
  // One filed under several keys is released once.
  std::vector<ICmdSubscriber*> all;
  for (auto& [key, list] : subscribers_) all.insert(all.end(), list.begin(), list.end());
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  for (ICmdSubscriber* subscriber : all) subscriber->Release();
}

void Publisher::Publish(qv::CMD_base* command) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ++publishing_;
  DeliverLocked(command, Key(command->kind, command->subid));
  if (command->subid != 0) DeliverLocked(command, Key(command->kind, 0));
  if (command->kind != 0) DeliverLocked(command, 0);
  if (--publishing_ == 0) {
    std::vector<ICmdSubscriber*> released;
    released.swap(released_);
    for (ICmdSubscriber* subscriber : released) subscriber->Release();
  }
}

void Publisher::DeliverLocked(qv::CMD_base* command, uint32_t key) {
  auto it = subscribers_.find(key);
  if (it == subscribers_.end()) return;
  // A snapshot, so removals during the walk do not disturb it.
  const std::vector<ICmdSubscriber*> snapshot(it->second.begin(), it->second.end());
  const uint16_t kind = static_cast<uint16_t>(key >> 16);
  const uint16_t subid = static_cast<uint16_t>(key & 0xffff);
  for (ICmdSubscriber* subscriber : snapshot) {
    // Removed by an earlier subscriber of this walk: it is not called again.
    if (!ContainsLocked(key, subscriber)) continue;
    subscriber->OnCommand(command);
    if (!subscriber->KeepSubscribed()) Unsubscribe(subscriber, kind, subid);
  }
}

bool Publisher::ContainsLocked(uint32_t key, ICmdSubscriber* subscriber) const {
  auto it = subscribers_.find(key);
  return it != subscribers_.end() &&
         std::find(it->second.begin(), it->second.end(), subscriber) != it->second.end();
}

void Publisher::Subscribe(ICmdSubscriber* subscriber, uint16_t kind, uint16_t subid) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::list<ICmdSubscriber*>& list = subscribers_[Key(kind, subid)];
  if (std::find(list.begin(), list.end(), subscriber) == list.end()) list.push_back(subscriber);
}

void Publisher::Unsubscribe(ICmdSubscriber* subscriber, uint16_t kind, uint16_t subid) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = subscribers_.find(Key(kind, subid));
  if (it == subscribers_.end()) return;
  auto found = std::find(it->second.begin(), it->second.end(), subscriber);
  if (found == it->second.end()) return;
  it->second.erase(found);
  // Filed under another key as well: it stays alive there.
  for (const auto& [key, list] : subscribers_) {
    if (std::find(list.begin(), list.end(), subscriber) != list.end()) return;
  }
  if (publishing_ > 0) {
    released_.push_back(subscriber);
  } else {
    subscriber->Release();
  }
}

void Publisher::Reset() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  subscribers_.clear();
}

}  // namespace qvc
