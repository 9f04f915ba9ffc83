#include "games/hall/app/single_instance.h"

#include "skinui/message_queue.h"
#include "skinui/remote_window.h"

namespace hall {

bool SingleInstance::Claim(const std::string& mutex_name,
                           const platform::InstanceLockPlace& place) {
  return lock_.TryAcquire(mutex_name, place) == platform::InstanceLock::Result::kAcquired;
}

bool ActivateFirstInstance(const std::string& title) {
  const HWND first = skinui::FindWindow(title);
  if (first == nullptr)
    return false;
  skinui::PostMessage(first, WM_ACTIVATE_INSTANCE, 0, 0);
  skinui::SetForegroundWindow(first);
  return true;
}

}  // namespace hall
