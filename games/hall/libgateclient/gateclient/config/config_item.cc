#include "gateclient/config/config_item.h"

#include <cstdio>

namespace ccf {

RConfigItemBase::RConfigItemBase(ItfBaseItemProvider* provider, std::string section,
                                 std::string key, uint32_t type)
    : type(type), section(std::move(section)), key(std::move(key)) {
  provider->AddItem(this);
}

RConfigItemStringArr::RConfigItemStringArr(ItfBaseItemProvider* provider, std::string section,
                                           std::string key, std::string default_value)
    : RConfigItemBase(provider, std::move(section), std::move(key), kConfigStringArray),
      default_value(std::move(default_value)) {
  entries.fill(this->default_value);
}

std::string RConfigItemStringArr::ElementKey(int index) const {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_%02d", index);
  return key + suffix;
}

}  // namespace ccf
