// A configuration provider: one ini file and the items read from it.
#pragma once

#include <string>

#include "gateclient/config/config_item.h"

namespace ccf {

class RProgramConfigLoad : public ItfBaseItemProvider {
 public:
  explicit RProgramConfigLoad(std::string file_name) : file_name_(std::move(file_name)) {}

  RConfigItemBase* FirstItem() override { return head_; }
  RConfigItemBase* AddItem(RConfigItemBase* item) override;

  // Reads every item from the file, once per provider: a later call returns true without
  // touching the file, also when the first read failed. False when the file cannot be read;
  // every item then keeps its default.
  bool Load();

  const std::string& file_name() const { return file_name_; }

 private:
  std::string file_name_;
  bool loaded_ = false;
  RConfigItemBase* head_ = nullptr;  // the items belong to the derived provider
  RConfigItemBase* tail_ = nullptr;
};

}  // namespace ccf
