// The hall runs once per user. The first start takes the single-instance lock and holds it for
// its life (it ends with the process, so a hall that crashed leaves nothing that keeps the next
// start out); a later start finds the first hall's window by its title, posts it
// WM_ACTIVATE_INSTANCE, brings it to the front and leaves without a window of its own.
#pragma once

#include <string>

#include "platform/instance_lock.h"
#include "platform/win_types.h"

namespace hall {

// The name of the hall's single-instance mutex.
inline constexpr char kHallMutexName[] = "Global\\vozeb-2016";
// Posted by a second start to the first hall's window (no window of the hall handles it: the
// foreground request is what brings the window forward).
inline constexpr UINT WM_ACTIVATE_INSTANCE = WM_APP + 5555;  // 0x95B3

class SingleInstance {
 public:
  // True when this process is the first hall: the lock is held from now on. A lock that cannot
  // be made counts as another hall running.
  bool Claim(const std::string& mutex_name, const platform::InstanceLockPlace& place);
  // Lets the lock go, for a hall that starts its successor before it ends.
  void Release() { lock_.Release(); }
  bool held() const { return lock_.held(); }

 private:
  platform::InstanceLock lock_;
};

// What a second start does: the window titled `title` (in this or another process of the user)
// gets WM_ACTIVATE_INSTANCE (wParam 0, lParam 0) and is brought to the front. False, and nothing
// reported, when no such window exists.
bool ActivateFirstInstance(const std::string& title);

}  // namespace hall
