// A named catalogue behind the local gate, for trying the catalogue views over a real connection:
// it answers AllGroupReq, AllListReq, AllPlanReq (the recommended list 2 included) and
// DisplayPlanUpdateReq from a SampleHall, with names, plan types, fees, popularity, seat counts
// and start times, in place of the plain catalogue of testgate::HallServices (file it after
// those services; their login and sign-up answers stay). All replies carry the catalogue's
// version, 1 until Replace gives another.
//
// Handlers run on the gate's loop thread; the hall they serve is guarded by one lock.
#pragma once

#include <mutex>

#include "games/hall/app/testing/plan_catalogue.h"
#include "testing/gate/local_gate.h"

namespace hall::testing {

class CatalogueService {
 public:
  static constexpr uint32_t kVersion = 1;

  // Files the handlers on `gate`, which must outlive the service.
  CatalogueService(testgate::LocalGate& gate, SampleHall hall);

  // Serves `hall` from now on, every reply carrying `version` (any thread). A hall that holds
  // the old version sees the newer one in its next reply and asks for the whole catalogue again.
  void Replace(SampleHall hall, uint32_t version);

 private:
  void Install();

  testgate::LocalGate& gate_;
  mutable std::mutex mu_;
  SampleHall hall_;
  uint32_t version_ = kVersion;
};

}  // namespace hall::testing
