// Typed configuration items: each names a section and key of one ini file and holds a default and
// the value read. Items are members of their provider and link themselves into its list when
// constructed; the provider's Load fills them all (program_config_load.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CIniFile;

namespace ccf {

class RConfigItemBase;

// A list of items read from one file.
class ItfBaseItemProvider {
 public:
  virtual ~ItfBaseItemProvider() = default;
  // Head of the item list; null when empty.
  virtual RConfigItemBase* FirstItem() = 0;
  // Appends `item` at the tail and clears its next link. Returns the previous tail, or the item
  // itself when the list was empty.
  virtual RConfigItemBase* AddItem(RConfigItemBase* item) = 0;
  // Called once at the end of a successful read; its result becomes the load result.
  virtual bool OnLoaded(CIniFile& /*file*/) { return true; }
};

// How an item is read: its value type.
enum ConfigItemType : uint32_t {
  kConfigInteger = 0,
  kConfigString = 1,
  kConfigIntegerArray = 2,  // declared by no item of this system
  kConfigStringArray = 3,
};

class RConfigItemBase {
 public:
  virtual ~RConfigItemBase() = default;
  RConfigItemBase(const RConfigItemBase&) = delete;
  RConfigItemBase& operator=(const RConfigItemBase&) = delete;

  const uint32_t type;
  const std::string section;
  const std::string key;
  RConfigItemBase* next = nullptr;  // owned by the provider's list

 protected:
  // Links the item into `provider`'s list.
  RConfigItemBase(ItfBaseItemProvider* provider, std::string section, std::string key,
                  uint32_t type);
};

// An integer, read like C atoi.
class RConfigItemLong final : public RConfigItemBase {
 public:
  RConfigItemLong(ItfBaseItemProvider* provider, std::string section, std::string key,
                  int32_t default_value)
      : RConfigItemBase(provider, std::move(section), std::move(key), kConfigInteger),
        value(default_value),
        default_value(default_value) {}

  int32_t value;
  const int32_t default_value;
};

// A byte string; string items always live in section "main".
class RConfigItemString final : public RConfigItemBase {
 public:
  RConfigItemString(ItfBaseItemProvider* provider, std::string key, std::string default_value)
      : RConfigItemBase(provider, "main", std::move(key), kConfigString),
        value(default_value),
        default_value(std::move(default_value)) {}

  std::string value;
  const std::string default_value;
};

// 32 byte strings under the keys <key>_00 .. <key>_31.
class RConfigItemStringArr final : public RConfigItemBase {
 public:
  static constexpr int kCount = 32;

  RConfigItemStringArr(ItfBaseItemProvider* provider, std::string section, std::string key,
                       std::string default_value);

  // The key of entry `index` ("addr" -> "addr_05").
  std::string ElementKey(int index) const;

  const std::string default_value;
  std::array<std::string, kCount> entries;
};

}  // namespace ccf
