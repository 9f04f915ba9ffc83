#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/mapping_guard.h"

namespace platform {

namespace {

constexpr std::string_view kMappingPrefix = "map.";

bool IsSafeNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

std::string SharedObjectName(std::string_view prefix, std::string_view name) {
  std::string out = "/";
  out += prefix;
  std::string_view kept = name.substr(0, kMaxSharedNameChars);
  for (unsigned char c : kept) out += IsSafeNameByte(c) ? static_cast<char>(c) : '_';
  if (name.size() > kMaxSharedNameChars) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "~%016llx",
                  static_cast<unsigned long long>(Fnv1a(name)));
    out += suffix;
  }
  return out;
}

std::string SharedMemoryObjectName(std::string_view name) {
  return SharedObjectName(kMappingPrefix, name);
}

void UnlinkSharedObjectIfSame(const std::string& object, unsigned long long dev,
                              unsigned long long ino) {
  int fd = shm_open(object.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return;
  struct stat st {};
  bool same = fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
  close(fd);
  if (same) shm_unlink(object.c_str());
}

SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Create(std::string_view name, size_t size) {
  if (is_open() || size == 0) return false;
  std::string object = SharedMemoryObjectName(name);
  // Starting afresh: whoever still maps the old object keeps it, new openers get ours.
  shm_unlink(object.c_str());
  int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat st {};
  void* view = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0 && fstat(fd, &st) == 0) {
    view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  close(fd);
  if (view == MAP_FAILED) {
    shm_unlink(object.c_str());
    return false;
  }
  data_ = view;
  size_ = size;
  GuardMapping(data_, size_);
  creator_ = true;
  object_name_ = std::move(object);
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  return true;
}

bool SharedMemory::Open(std::string_view name, size_t min_size) {
  if (is_open()) return false;
  std::string object = SharedMemoryObjectName(name);
  int fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st {};
  void* view = MAP_FAILED;
  size_t size = 0;
  if (fstat(fd, &st) == 0 && st.st_size > 0 && static_cast<size_t>(st.st_size) >= min_size) {
    size = static_cast<size_t>(st.st_size);
    view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  close(fd);
  if (view == MAP_FAILED) return false;
  data_ = view;
  size_ = size;
  GuardMapping(data_, size_);
  creator_ = false;
  object_name_ = std::move(object);
  return true;
}

void SharedMemory::Close() {
  if (!is_open()) return;
  UnguardMapping(data_);
  munmap(data_, size_);
  if (creator_) UnlinkSharedObjectIfSame(object_name_, dev_, ino_);
  data_ = nullptr;
  size_ = 0;
  creator_ = false;
  object_name_.clear();
  dev_ = ino_ = 0;
}

}  // namespace platform
