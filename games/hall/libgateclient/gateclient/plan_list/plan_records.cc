#include "gateclient/plan_list/plan_records.h"

#include <algorithm>
#include <utility>

namespace qvc {

PlanRecord::PlanRecord(const PlanRecord& other)
    : info(other.info),
      plan_order(other.plan_order),
      show_num(other.show_num),
      plan_key(other.plan_key),
      extras_(other.extras_ != nullptr ? std::make_unique<Extras>(*other.extras_) : nullptr) {}

PlanRecord& PlanRecord::operator=(const PlanRecord& other) {
  if (this != &other)
    *this = PlanRecord(other);
  return *this;
}

const std::string& PlanRecord::extra_bytes() const {
  static const std::string* const kEmpty = new std::string;
  return extras_ != nullptr ? extras_->extra_bytes : *kEmpty;
}

const qv::hallclient::TitleMatchItem& PlanRecord::title_match() const {
  return extras_ != nullptr ? extras_->title_match
                            : qv::hallclient::TitleMatchItem::default_instance();
}

PlanRecord::Extras& PlanRecord::MutableExtras() {
  if (extras_ == nullptr)
    extras_ = std::make_unique<Extras>();
  return *extras_;
}

std::string* PlanRecord::mutable_extra_bytes() {
  return &MutableExtras().extra_bytes;
}

qv::hallclient::TitleMatchItem* PlanRecord::mutable_title_match() {
  return &MutableExtras().title_match;
}

void PlanListRecord::SetPlans(std::vector<PlanRecord> sorted_plans) {
  plans_ = std::move(sorted_plans);
  by_id_.clear();
  by_id_.reserve(plans_.size());
  for (size_t i = 0; i < plans_.size(); ++i)
    by_id_.emplace_back(plans_[i].plan_id(), static_cast<uint32_t>(i));
  std::sort(by_id_.begin(), by_id_.end());
}

const PlanRecord* PlanListRecord::FindPlan(uint32_t plan_id) const {
  auto it = std::lower_bound(by_id_.begin(), by_id_.end(), std::make_pair(plan_id, uint32_t{0}));
  return it == by_id_.end() || it->first != plan_id ? nullptr : &plans_[it->second];
}

std::vector<std::string> StartPointRecord::point_bytes() const {
  std::vector<std::string> bytes;
  bytes.reserve(points.size());
  for (const qv::hallclient::startPointItem& point : points)
    bytes.push_back(point.SerializePartialAsString());
  return bytes;
}

}  // namespace qvc
