#include "gateclient/config/program_config_load.h"

#include "gateclient/config/ini_file.h"

namespace ccf {

RConfigItemBase* RProgramConfigLoad::AddItem(RConfigItemBase* item) {
  item->next = nullptr;
  if (tail_ == nullptr) {
    head_ = tail_ = item;
    return item;
  }
  RConfigItemBase* previous = tail_;
  tail_->next = item;
  tail_ = item;
  return previous;
}

bool RProgramConfigLoad::Load() {
  if (loaded_)
    return true;
  loaded_ = true;  // before reading: a provider reads its file at most once

  CIniFile file(file_name_);
  if (!file.Load())
    return false;
  for (RConfigItemBase* item = head_; item != nullptr; item = item->next) {
    switch (item->type) {
      case kConfigInteger: {
        auto* integer = static_cast<RConfigItemLong*>(item);
        integer->value = file.GetInt(item->section, item->key, integer->default_value);
        break;
      }
      case kConfigString: {
        auto* text = static_cast<RConfigItemString*>(item);
        text->value = file.GetValue(item->section, item->key, text->default_value);
        break;
      }
      case kConfigStringArray: {
        auto* array = static_cast<RConfigItemStringArr*>(item);
        for (int i = 0; i < RConfigItemStringArr::kCount; ++i) {
          array->entries[i] =
              file.GetValue(item->section, array->ElementKey(i), array->default_value);
        }
        break;
      }
      default:
        break;
    }
  }
  return OnLoaded(file);
}

}  // namespace ccf
