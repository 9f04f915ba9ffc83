#include "xmldoc/xml_attribute.h"

#include <cstdint>
#include <limits>

#include "xmldoc/xml_entities.h"

namespace xmldoc {

std::string CXmlAttribute::GetName(bool raw) const {
  return raw ? name_.str() : XmlDecodeEntities(name_);
}

std::string CXmlAttribute::GetValue(bool raw) const {
  return raw ? value_.str() : XmlDecodeEntities(value_);
}

int32_t CXmlAttribute::GetInt() const {
  const std::string text = GetValue();
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit)
      value = kLimit;
  }
  if (negative)
    return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

void CXmlAttribute::SetValue(std::string_view value) {
  value_.Assign(XmlEncodeEntities(value));
}

}  // namespace xmldoc
