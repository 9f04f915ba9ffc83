#include "gateclient/plan_list/plan_records.h"

#include <utility>

namespace qvc {

void PlanListRecord::SetPlans(std::vector<PlanRecord> sorted_plans) {
  plans_ = std::move(sorted_plans);
  first_by_id_.clear();
  first_by_id_.reserve(plans_.size());
  for (size_t i = 0; i < plans_.size(); ++i) first_by_id_.try_emplace(plans_[i].plan_id(), i);
}

const PlanRecord* PlanListRecord::FindPlan(uint32_t plan_id) const {
  auto it = first_by_id_.find(plan_id);
  return it == first_by_id_.end() ? nullptr : &plans_[it->second];
}

}  // namespace qvc
