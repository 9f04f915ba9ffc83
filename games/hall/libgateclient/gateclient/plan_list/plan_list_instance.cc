#include "gateclient/plan_list/plan_list_instance.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace qvc {
namespace {

std::mutex g_instance_mu;              // serialises creation and destruction
std::unique_ptr<PlanList> g_instance;  // guarded by g_instance_mu; its destructor joins the thread
std::atomic<PlanList*> g_pointer{nullptr};

}  // namespace

PlanList* PlanListInstance() { return g_pointer.load(std::memory_order_acquire); }

PlanList* CreatePlanListInstance(PlanListHost* host, const PlanListSettings& settings,
                                 platform::Clock* clock, platform::Waiter* waiter) {
  std::lock_guard<std::mutex> lock(g_instance_mu);
  if (g_instance == nullptr) {
    g_instance = std::make_unique<PlanList>(host, settings, clock, waiter);
    g_pointer.store(g_instance.get(), std::memory_order_release);
  }
  return g_instance.get();
}

void DestroyPlanListInstance() {
  std::unique_ptr<PlanList> doomed;
  {
    std::lock_guard<std::mutex> lock(g_instance_mu);
    g_pointer.store(nullptr, std::memory_order_release);
    doomed = std::move(g_instance);
  }
  doomed.reset();  // joins the refresh thread outside the lock
}

}  // namespace qvc
