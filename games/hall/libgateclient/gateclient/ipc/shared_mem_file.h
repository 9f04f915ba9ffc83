// A named file mapping of a fixed size, created by one process and opened by others. Object names
// are normalised the way every peer normalises them (NormalizeName), so both sides meet.
#pragma once

#include <cstddef>
#include <string>

#include "platform/shared_memory.h"

class CSharedMemFile {
 public:
  CSharedMemFile() = default;
  ~CSharedMemFile() { CloseMapping(); }
  CSharedMemFile(const CSharedMemFile&) = delete;
  CSharedMemFile& operator=(const CSharedMemFile&) = delete;

  // Copies at most 519 characters of `name`, turns every '\' into '_' and upper-cases ASCII
  // letters. Returns the length of the result.
  static size_t NormalizeName(const char* name, std::string* out);

  // Settings used by CreateMapping. The name is normalised here.
  void SetName(const char* name);
  void SetSize(size_t size) { size_ = size; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // When set, two zero bytes follow the mapped size (a text mapping stays terminated).
  void SetTerminator(bool terminator) { terminator_ = terminator; }

  // Creates the mapping under the set name, zero-filled, replacing any mapping of that name.
  // REQUIRES: not mapped, a name and a size set.
  bool CreateMapping();
  // Maps the existing mapping `name` (normalised here) whole; it must hold at least `min_size`
  // bytes. size() then tells its real size.
  bool OpenMapping(const char* name, size_t min_size);
  void CloseMapping();

  bool mapped() const { return mem_.is_open(); }
  unsigned char* view() const { return mem_.data(); }
  size_t size() const { return mapped() ? mem_.size() - (terminator_ ? 2 : 0) : size_; }
  const std::string& name() const { return name_; }

 private:
  platform::SharedMemory mem_;
  bool read_only_ = true;
  bool terminator_ = false;
  std::string name_;
  size_t size_ = 0;
};
