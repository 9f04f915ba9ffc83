#include "xmldoc/xml_string.h"

#include <cstring>
#include <utility>

namespace xmldoc {

XmlString& XmlString::operator=(const XmlString& other) {
  if (this != &other)
    Assign(other.view());
  return *this;
}

XmlString& XmlString::operator=(XmlString&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = other.data_;
    size_ = other.size_;
    owned_ = other.owned_;
    other.Forget();
  }
  return *this;
}

void XmlString::Assign(std::string_view text) {
  if (text.empty()) {
    Free();
    Forget();
    return;
  }
  // Copied before the old bytes go: `text` may be part of them.
  char* copy = new char[text.size()];
  std::memcpy(copy, text.data(), text.size());
  Free();
  data_ = copy;
  size_ = text.size();
  owned_ = true;
}

}  // namespace xmldoc
