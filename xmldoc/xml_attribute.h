// One attribute of an element. Name and value are held escaped: as they stood in the file for a
// parsed document, escaped on the way in for one set through the interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "xmldoc/xml_string.h"

namespace xmldoc {

class CXmlNode;

class CXmlAttribute {
 public:
  // Takes `name` and `value` already escaped.
  CXmlAttribute(CXmlNode* owner, std::string_view name, std::string_view value)
      : name_(name), value_(value), owner_(owner) {}
  CXmlAttribute(CXmlNode* owner, XmlString name, XmlString value)
      : name_(std::move(name)), value_(std::move(value)), owner_(owner) {}

  // The name or value decoded; with `raw`, as stored (escaped).
  std::string GetName(bool raw = false) const;
  std::string GetValue(bool raw = false) const;
  // The decoded value read as a decimal number like atoi: leading blanks and a sign allowed,
  // 0 when it does not start with a number. Out-of-range values saturate.
  int32_t GetInt() const;

  // Stores `value` escaped (a numeric reference in it is kept).
  void SetValue(std::string_view value);
  // Stores `value` exactly as given; the caller vouches that it is escaped.
  void SetRawValue(std::string_view value) { value_.Assign(value); }

  CXmlNode* owner() const { return owner_; }
  std::string_view raw_name() const { return name_; }
  std::string_view raw_value() const { return value_; }

 private:
  XmlString name_;
  XmlString value_;
  CXmlNode* owner_;
};

}  // namespace xmldoc
