// A named catalogue behind the local gate, for trying the catalogue views over a real connection:
// it answers AllGroupReq, AllListReq, AllPlanReq (the recommended list 2 included) and
// DisplayPlanUpdateReq from a SampleHall, with names, plan types, fees, popularity, seat counts
// and start times, in place of the plain catalogue of testgate::HallServices (file it after
// those services; their login and sign-up answers stay). All replies carry version 1.
//
// Handlers run on the gate's loop thread; the hall they serve is set before the hall connects.
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

 private:
  void Install();

  testgate::LocalGate& gate_;
  mutable std::mutex mu_;
  SampleHall hall_;
};

}  // namespace hall::testing
