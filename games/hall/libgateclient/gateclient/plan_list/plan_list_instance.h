// The process's one catalogue: made when the first user is authenticated, destroyed (its refresh
// thread stopped and joined) by DestroyPlanListInstance or at process exit.
#pragma once

#include "gateclient/plan_list/plan_list.h"

namespace qvc {

// The catalogue, or null before CreatePlanListInstance. The pointer stays valid until
// DestroyPlanListInstance.
PlanList* PlanListInstance();
// Makes the catalogue unless it exists; returns it either way (later arguments are ignored).
PlanList* CreatePlanListInstance(PlanListHost* host, const PlanListSettings& settings,
                                 platform::Clock* clock, platform::Waiter* waiter);
// Stops and joins the refresh thread, then destroys the catalogue. REQUIRES: no other thread
// uses the catalogue any more.
void DestroyPlanListInstance();

}  // namespace qvc
