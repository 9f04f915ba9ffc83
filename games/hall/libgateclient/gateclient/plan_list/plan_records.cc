#include "gateclient/plan_list/plan_records.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qvc {

namespace hc = qv::hallclient;

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

const hc::TitleMatchItem& PlanRecord::title_match() const {
  return extras_ != nullptr ? extras_->title_match : hc::TitleMatchItem::default_instance();
}

PlanRecord::Extras& PlanRecord::MutableExtras() {
  if (extras_ == nullptr)
    extras_ = std::make_unique<Extras>();
  return *extras_;
}

std::string* PlanRecord::mutable_extra_bytes() {
  return &MutableExtras().extra_bytes;
}

hc::TitleMatchItem* PlanRecord::mutable_title_match() {
  return &MutableExtras().title_match;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::unique_ptr<char[]> CopyBytes(std::string_view bytes) {
  if (bytes.empty())
    return nullptr;
  // Not value-initialised: every byte is written at once.
  std::unique_ptr<char[]> copy(new char[bytes.size()]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return copy;
}

}  // namespace

PlanEntry::PlanEntry(const hc::PlanSimpleInfo& info, std::string_view simple_info_bytes,
                     uint32_t plan_order, uint32_t show_num, uint32_t plan_key)
    : plan_order(plan_order),
      show_num(show_num),
      plan_key(plan_key),
      plan_id_(info.plan_id()),
      plan_type_(info.plan_type()),
      size_(static_cast<uint32_t>(simple_info_bytes.size())),
      bytes_(CopyBytes(simple_info_bytes)) {}

PlanEntry::PlanEntry(const PlanEntry& other)
    : plan_order(other.plan_order),
      show_num(other.show_num),
      plan_key(other.plan_key),
      plan_id_(other.plan_id_),
      plan_type_(other.plan_type_),
      size_(other.size_),
      bytes_(CopyBytes(other.simple_info_bytes())) {}

PlanEntry& PlanEntry::operator=(const PlanEntry& other) {
  if (this != &other)
    *this = PlanEntry(other);
  return *this;
}

hc::PlanSimpleInfo PlanEntry::info() const {
  hc::PlanSimpleInfo info;
  ReadInfo(&info);
  return info;
}

void PlanEntry::ReadInfo(hc::PlanSimpleInfo* info) const {
  // The bytes parsed when the entry was made, so they parse again.
  info->ParsePartialFromArray(bytes_.get(), static_cast<int>(size_));
}

PlanRecord PlanEntry::record() const {
  PlanRecord record;
  record.info = info();
  record.plan_order = plan_order;
  record.show_num = show_num;
  record.plan_key = plan_key;
  return record;
}

void PlanListRecord::SetPlans(std::vector<PlanEntry> sorted_plans) {
  plans_ = std::move(sorted_plans);
  by_id_.clear();
  by_id_.reserve(plans_.size());
  for (size_t i = 0; i < plans_.size(); ++i)
    by_id_.emplace_back(plans_[i].plan_id(), static_cast<uint32_t>(i));
  std::sort(by_id_.begin(), by_id_.end());
  // A list that shrank keeps no room for the plans it had.
  by_id_.shrink_to_fit();
}

const PlanEntry* PlanListRecord::FindPlan(uint32_t plan_id) const {
  auto it = std::lower_bound(by_id_.begin(), by_id_.end(), std::make_pair(plan_id, uint32_t{0}));
  return it == by_id_.end() || it->first != plan_id ? nullptr : &plans_[it->second];
}

// ---------------------------------------------------------------------------------------------

template <typename Each>
void StartPointRecord::ForEachPoint(Each&& each) const {
  // The lengths were written by AddPoint, each followed by as many bytes.
  size_t at = 0;
  while (at < wire_.size()) {
    size_t size = 0;
    for (int shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(wire_[at++]);
      size |= static_cast<size_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0)
        break;
    }
    each(std::string_view(wire_).substr(at, size));
    at += size;
  }
}

size_t StartPointRecord::point_count() const {
  size_t count = 0;
  ForEachPoint([&count](std::string_view) { ++count; });
  return count;
}

std::vector<hc::startPointItem> StartPointRecord::points() const {
  std::vector<hc::startPointItem> points;
  ForEachPoint([&points](std::string_view bytes) {
    points.emplace_back().ParsePartialFromArray(bytes.data(), static_cast<int>(bytes.size()));
  });
  return points;
}

std::vector<std::string> StartPointRecord::point_bytes() const {
  std::vector<std::string> bytes;
  ForEachPoint([&bytes](std::string_view point) { bytes.emplace_back(point); });
  return bytes;
}

void StartPointRecord::ClearPoints(size_t room) {
  wire_.clear();
  wire_.reserve(room);
}

size_t StartPointRecord::RoomFor(std::string_view bytes) {
  size_t length_bytes = 1;
  for (size_t size = bytes.size(); size >= 0x80; size >>= 7)
    ++length_bytes;
  return length_bytes + bytes.size();
}

void StartPointRecord::AddPoint(std::string_view bytes) {
  for (size_t size = bytes.size();; size >>= 7) {
    if (size < 0x80) {
      wire_.push_back(static_cast<char>(size));
      break;
    }
    wire_.push_back(static_cast<char>((size & 0x7F) | 0x80));
  }
  wire_.append(bytes);
}

}  // namespace qvc
