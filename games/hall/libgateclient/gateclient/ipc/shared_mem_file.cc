#include "gateclient/ipc/shared_mem_file.h"

#include "gateclient/ipc/queue_layout.h"

size_t CSharedMemFile::NormalizeName(const char* name, std::string* out) {
  out->clear();
  if (name == nullptr)
    return 0;
  for (size_t i = 0; name[i] != '\0' && i < queue_layout::kMaxObjectNameChars; ++i) {
    char c = name[i];
    if (c == '\\')
      c = '_';
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    out->push_back(c);
  }
  return out->size();
}

void CSharedMemFile::SetName(const char* name) {
  NormalizeName(name, &name_);
}

bool CSharedMemFile::CreateMapping() {
  if (mapped() || name_.empty() || size_ == 0)
    return false;
  // The platform mapping is always writable; read_only_ only records the caller's intent.
  if (!mem_.Create(name_, size_ + (terminator_ ? 2 : 0)))
    return false;
  read_only_ = false;
  return true;
}

bool CSharedMemFile::OpenMapping(const char* name, size_t min_size) {
  if (mapped())
    return false;
  SetName(name);
  if (name_.empty() || !mem_.Open(name_, min_size))
    return false;
  terminator_ = false;
  size_ = mem_.size();
  read_only_ = false;
  return true;
}

void CSharedMemFile::CloseMapping() {
  mem_.Close();
  read_only_ = true;
}
