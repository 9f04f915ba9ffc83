// A stored name, value or text: either borrowed from the memory of the document it was parsed
// from (no copy) or owned on the heap. Copies always own their bytes.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace xmldoc {

class XmlString {
 public:
  XmlString() = default;
  // An owned copy of `text`.
  explicit XmlString(std::string_view text) { Assign(text); }
  // Refers to `text` without copying it; the caller keeps those bytes alive and unchanged for the
  // life of this string.
  static XmlString Borrow(std::string_view text) {
    XmlString s;
    s.data_ = text.data();
    s.size_ = text.size();
    return s;
  }

  XmlString(const XmlString& other) : XmlString(other.view()) {}
  XmlString(XmlString&& other) noexcept
      : data_(other.data_), size_(other.size_), owned_(other.owned_) {
    other.Forget();
  }
  XmlString& operator=(const XmlString& other);
  XmlString& operator=(XmlString&& other) noexcept;
  ~XmlString() { Free(); }

  // Replaces the contents with an owned copy of `text` (which may lie inside this string).
  void Assign(std::string_view text);

  std::string_view view() const { return {data_, size_}; }
  operator std::string_view() const { return view(); }  // NOLINT: reads like the text it holds
  std::string str() const { return std::string(view()); }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  friend bool operator==(const XmlString& a, std::string_view b) { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& out, const XmlString& s) { return out << s.view(); }

 private:
  void Free() {
    if (owned_)
      delete[] data_;
  }
  void Forget() {
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
  }

  const char* data_ = nullptr;
  size_t size_ = 0;
  bool owned_ = false;
};

}  // namespace xmldoc
