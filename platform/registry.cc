#include "platform/registry.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_util.h"

namespace platform {
namespace {

// File layout, one record a line:
//   tarvix-registry 1
//   [Software\Maker]          a key, by its path from the root ("[]" is the root itself)
//   s Name=text               a string value of the key above
//   b Name=00ff               a binary value, in hex
//   end                       the last line; a file without it was cut short
constexpr std::string_view kHeader = "tarvix-registry 1";
constexpr std::string_view kTrailer = "end";
constexpr char kSeparator = '\\';
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

// Names fold to upper case for ordering, as the system registry orders them (so '_' sorts after
// the letters).
char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == '%' || c == '=';
}

void AppendEscaped(std::string_view text, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : text) {
    if (NeedsEscape(c)) {
      out->push_back('%');
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 15]);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size())
      return false;
    const int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
    if (hi < 0 || lo < 0)
      return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return true;
}

bool DecodeHex(std::string_view text, std::string* out) {
  if (text.size() % 2)
    return false;
  out->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0)
      return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

// Splits off the first part of a key path. False for an empty or over-long part.
bool NextPart(std::string_view* path, std::string_view* part) {
  const size_t sep = path->find(kSeparator);
  *part = path->substr(0, sep);
  *path = sep == std::string_view::npos ? std::string_view() : path->substr(sep + 1);
  if (part->empty() || part->size() > kRegistryMaxKeyName)
    return false;
  return sep == std::string_view::npos || !path->empty();
}

void SerializeKey(const RegistryKeyNode& key, const std::string& path, std::string* out) {
  out->push_back('[');
  AppendEscaped(path, out);
  out->append("]\n");
  static constexpr char kHex[] = "0123456789abcdef";
  for (const auto& [name, value] : key.values()) {
    out->append(value.type == RegistryValueType::kString ? "s " : "b ");
    AppendEscaped(name, out);
    out->push_back('=');
    if (value.type == RegistryValueType::kString) {
      AppendEscaped(value.data, out);
    } else {
      for (unsigned char c : value.data) {
        out->push_back(kHex[c >> 4]);
        out->push_back(kHex[c & 15]);
      }
    }
    out->push_back('\n');
  }
  for (const auto& [name, subkey] : key.subkeys()) {
    SerializeKey(*subkey, path.empty() ? name : path + kSeparator + name, out);
  }
}

const char* RootFileName(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser ? "HKEY_CURRENT_USER.reg" : "HKEY_LOCAL_MACHINE.reg";
}

// Holds an exclusive lock on "<file>.lock" while alive (no lock when the folder is missing: then
// there is no file to race on until the first write creates the folder).
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd_ >= 0)
      ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(Upper(a[i]));
    const auto cb = static_cast<unsigned char>(Upper(b[i]));
    if (ca != cb)
      return ca < cb;
  }
  return a.size() < b.size();
}

RegistryKeyNode* RegistryKeyNode::Find(std::string_view path) {
  RegistryKeyNode* key = this;
  std::string_view part;
  while (!path.empty()) {
    if (!NextPart(&path, &part))
      return nullptr;
    const auto it = key->subkeys_.find(part);
    if (it == key->subkeys_.end())
      return nullptr;
    key = it->second.get();
  }
  return key;
}

const RegistryKeyNode* RegistryKeyNode::Find(std::string_view path) const {
  return const_cast<RegistryKeyNode*>(this)->Find(path);
}

RegistryKeyNode* RegistryKeyNode::Create(std::string_view path) {
  // Check the whole path first, so a malformed one creates nothing.
  size_t depth = 0;
  for (std::string_view rest = path, part; !rest.empty();) {
    if (!NextPart(&rest, &part) || ++depth > kRegistryMaxDepth)
      return nullptr;
  }
  RegistryKeyNode* key = this;
  std::string_view part;
  while (!path.empty()) {
    NextPart(&path, &part);
    auto it = key->subkeys_.find(part);
    if (it == key->subkeys_.end()) {
      it = key->subkeys_.emplace(std::string(part), std::make_unique<RegistryKeyNode>()).first;
    }
    key = it->second.get();
  }
  return key;
}

bool RegistryKeyNode::Remove(std::string_view path) {
  if (path.empty() || Find(path) == nullptr)
    return false;
  const size_t sep = path.rfind(kSeparator);
  RegistryKeyNode* parent = sep == std::string_view::npos ? this : Find(path.substr(0, sep));
  const std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
  if (parent == nullptr || name.empty())
    return false;
  const auto it = parent->subkeys_.find(name);
  if (it == parent->subkeys_.end())
    return false;
  parent->subkeys_.erase(it);
  return true;
}

void RegistryKeyNode::Set(std::string_view name, RegistryValue value) {
  const auto it = values_.find(name);
  if (it != values_.end()) {
    it->second = std::move(value);
  } else {
    values_.emplace(std::string(name), std::move(value));
  }
}

const RegistryValue* RegistryKeyNode::Get(std::string_view name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? nullptr : &it->second;
}

bool RegistryKeyNode::RemoveValue(std::string_view name) {
  const auto it = values_.find(name);
  if (it == values_.end())
    return false;
  values_.erase(it);
  return true;
}

std::string SerializeRegistryTree(const RegistryKeyNode& tree) {
  std::string out(kHeader);
  out.push_back('\n');
  SerializeKey(tree, "", &out);
  out.append(kTrailer);
  out.push_back('\n');
  return out;
}

bool ParseRegistryTree(std::string_view text, RegistryKeyNode* tree) {
  *tree = RegistryKeyNode();
  RegistryKeyNode parsed;
  RegistryKeyNode* key = nullptr;
  bool header = false, ended = false;
  std::string name, data;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    if (eol == std::string_view::npos || ended)
      return false;
    const std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol + 1);
    if (!header) {
      if (line != kHeader)
        return false;
      header = true;
    } else if (line == kTrailer) {
      ended = true;
    } else if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (!Unescape(line.substr(1, line.size() - 2), &name))
        return false;
      key = parsed.Create(name);
      if (key == nullptr)
        return false;
    } else if (line.size() >= 2 && (line[0] == 's' || line[0] == 'b') && line[1] == ' ' && key) {
      const std::string_view record = line.substr(2);
      const size_t equals = record.find('=');
      if (equals == std::string_view::npos || !Unescape(record.substr(0, equals), &name)) {
        return false;
      }
      const std::string_view encoded = record.substr(equals + 1);
      RegistryValue value;
      value.type = line[0] == 's' ? RegistryValueType::kString : RegistryValueType::kBinary;
      if (!(line[0] == 's' ? Unescape(encoded, &data) : DecodeHex(encoded, &data)))
        return false;
      value.data = std::move(data);
      key->Set(name, std::move(value));
    } else {
      return false;
    }
  }
  if (!ended)
    return false;
  *tree = std::move(parsed);
  return true;
}

RegistryStore::RegistryStore(std::string folder) : folder_(std::move(folder)) {}

std::string RegistryStore::DefaultFolder() {
  const char* config = ::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = ::getenv("HOME");
    base = JoinPath(home != nullptr ? home : "/tmp", ".config");
  }
  return JoinPath(base, "tarvix/registry");
}

RegistryStore& RegistryStore::User() {
  static RegistryStore store(DefaultFolder());
  return store;
}

std::string RegistryStore::FilePath(RegistryRoot root) const {
  return JoinPath(folder_, RootFileName(root));
}

RegistryFileState RegistryStore::ReadLocked(RegistryRoot root, RegistryKeyNode* tree) {
  *tree = RegistryKeyNode();
  const std::string path = FilePath(root);
  std::string text;
  if (!ReadFile(path, &text)) {
    return FileExists(path) ? RegistryFileState::kDamaged : RegistryFileState::kMissing;
  }
  if (ParseRegistryTree(text, tree))
    return RegistryFileState::kRead;
  // Keep what is there for inspection instead of overwriting it with the next change.
  std::rename(path.c_str(), (path + ".damaged").c_str());
  return RegistryFileState::kDamaged;
}

RegistryFileState RegistryStore::Read(RegistryRoot root, RegistryKeyNode* tree) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!DirectoryExists(folder_)) {
    *tree = RegistryKeyNode();
    return RegistryFileState::kMissing;
  }
  FileLock file_lock(FilePath(root));
  return ReadLocked(root, tree);
}

bool RegistryStore::Modify(RegistryRoot root, const std::function<bool(RegistryKeyNode&)>& edit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!MakeDirectories(folder_, kFolderMode))
    return false;
  FileLock file_lock(FilePath(root));
  RegistryKeyNode tree;
  ReadLocked(root, &tree);
  if (!edit(tree))
    return false;
  return WriteFileAtomic(FilePath(root), SerializeRegistryTree(tree), kFileMode);
}

bool RegistryStore::KeyExists(RegistryRoot root, std::string_view path) {
  RegistryKeyNode tree;
  Read(root, &tree);
  return tree.Find(path) != nullptr;
}

bool RegistryStore::CreateKey(RegistryRoot root, std::string_view path) {
  return Modify(root, [&](RegistryKeyNode& tree) { return tree.Create(path) != nullptr; });
}

bool RegistryStore::SetString(RegistryRoot root, std::string_view path, std::string_view name,
                              std::string_view value) {
  return Modify(root, [&](RegistryKeyNode& tree) {
    RegistryKeyNode* key = tree.Create(path);
    if (key)
      key->Set(name, RegistryValue{RegistryValueType::kString, std::string(value)});
    return key != nullptr;
  });
}

bool RegistryStore::SetBinary(RegistryRoot root, std::string_view path, std::string_view name,
                              std::string_view bytes) {
  return Modify(root, [&](RegistryKeyNode& tree) {
    RegistryKeyNode* key = tree.Create(path);
    if (key)
      key->Set(name, RegistryValue{RegistryValueType::kBinary, std::string(bytes)});
    return key != nullptr;
  });
}

bool RegistryStore::GetValue(RegistryRoot root, std::string_view path, std::string_view name,
                             RegistryValue* value) {
  RegistryKeyNode tree;
  Read(root, &tree);
  const RegistryKeyNode* key = tree.Find(path);
  const RegistryValue* found = key ? key->Get(name) : nullptr;
  if (found == nullptr)
    return false;
  *value = *found;
  return true;
}

bool RegistryStore::GetString(RegistryRoot root, std::string_view path, std::string_view name,
                              std::string* value) {
  RegistryValue found;
  if (!GetValue(root, path, name, &found) || found.type != RegistryValueType::kString) {
    return false;
  }
  *value = std::move(found.data);
  return true;
}

std::vector<std::string> RegistryStore::EnumSubkeys(RegistryRoot root, std::string_view path) {
  RegistryKeyNode tree;
  Read(root, &tree);
  std::vector<std::string> names;
  if (const RegistryKeyNode* key = tree.Find(path)) {
    for (const auto& entry : key->subkeys())
      names.push_back(entry.first);
  }
  return names;
}

std::vector<std::string> RegistryStore::EnumValues(RegistryRoot root, std::string_view path) {
  RegistryKeyNode tree;
  Read(root, &tree);
  std::vector<std::string> names;
  if (const RegistryKeyNode* key = tree.Find(path)) {
    for (const auto& entry : key->values())
      names.push_back(entry.first);
  }
  return names;
}

bool RegistryStore::DeleteKey(RegistryRoot root, std::string_view path) {
  return Modify(root, [&](RegistryKeyNode& tree) { return tree.Remove(path); });
}

bool RegistryStore::DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) {
  return Modify(root, [&](RegistryKeyNode& tree) {
    RegistryKeyNode* key = tree.Find(path);
    return key != nullptr && key->RemoveValue(name);
  });
}

}  // namespace platform
