// A file-backed stand-in for the per-user registry: trees of keys holding named string and binary
// values, one tree (one file) per root key.
//
// Key paths are '\'-separated below the root ("Software\Zoltamar5\Hall\UserInfo"). Key and value
// names compare without regard to ASCII case and keep the case they were created with; subkeys
// and values are enumerated in case-insensitive order. Every change is written as a whole file to
// a temporary name and renamed into place, mode 0600, under an exclusive lock, so a reader sees
// the old or the new tree and two processes do not lose each other's changes. A file that cannot
// be read back is moved aside (".damaged") and the tree starts empty.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryRoot { kCurrentUser, kLocalMachine };

enum class RegistryValueType : uint8_t { kString, kBinary };

struct RegistryValue {
  RegistryValueType type = RegistryValueType::kString;
  std::string data;  // a string without its terminating zero, or the raw bytes
  bool operator==(const RegistryValue&) const = default;
};

// Longest key name; longer ones are refused as the system's registry refuses them.
inline constexpr size_t kRegistryMaxKeyName = 255;
// Most keys in a path; deeper trees are refused as the system's registry refuses them (which also
// keeps the walks over a tree read from a file, writing and freeing it, from exhausting the
// stack).
inline constexpr size_t kRegistryMaxDepth = 512;

// ASCII case-insensitive ordering of names.
struct RegistryNameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// One key: its values and subkeys.
class RegistryKeyNode {
 public:
  using Values = std::map<std::string, RegistryValue, RegistryNameLess>;
  using Subkeys = std::map<std::string, std::unique_ptr<RegistryKeyNode>, RegistryNameLess>;

  // The key at `path` below this one, null when it is missing or the path is malformed.
  RegistryKeyNode* Find(std::string_view path);
  const RegistryKeyNode* Find(std::string_view path) const;
  // The key at `path`, created with its missing parents; null for a malformed path (an empty part,
  // a part longer than kRegistryMaxKeyName, more than kRegistryMaxDepth parts). The empty path is
  // this key.
  RegistryKeyNode* Create(std::string_view path);
  // Removes the key at `path` with its values and subkeys. False when it is missing or is this key.
  bool Remove(std::string_view path);

  // Sets a value; an existing one of that name (in any case) is replaced and keeps its name.
  void Set(std::string_view name, RegistryValue value);
  const RegistryValue* Get(std::string_view name) const;
  bool RemoveValue(std::string_view name);

  const Values& values() const { return values_; }
  const Subkeys& subkeys() const { return subkeys_; }

 private:
  Values values_;
  Subkeys subkeys_;
};

// What reading a tree's file found.
enum class RegistryFileState { kMissing, kRead, kDamaged };

// Text form of a tree: the file contents, and reading it back. False when `text` is not a tree
// (`tree` is then empty).
std::string SerializeRegistryTree(const RegistryKeyNode& tree);
bool ParseRegistryTree(std::string_view text, RegistryKeyNode* tree);

class RegistryStore {
 public:
  // Keeps its files in `folder` (created on the first write, mode 0700).
  explicit RegistryStore(std::string folder);
  // "$XDG_CONFIG_HOME/tarvix/registry", with $XDG_CONFIG_HOME defaulting to "$HOME/.config".
  static std::string DefaultFolder();
  // The store in DefaultFolder().
  static RegistryStore& User();

  // The file that holds the tree of `root`.
  std::string FilePath(RegistryRoot root) const;

  // Reads the tree of `root`. A damaged file is moved aside and read as empty.
  RegistryFileState Read(RegistryRoot root, RegistryKeyNode* tree);
  // Reads the tree, lets `edit` change it and writes it back when `edit` returns true, all under
  // the store's lock. False when `edit` declines or the write fails.
  bool Modify(RegistryRoot root, const std::function<bool(RegistryKeyNode&)>& edit);

  // The common calls, each one read or one read-modify-write.
  bool KeyExists(RegistryRoot root, std::string_view path);
  bool CreateKey(RegistryRoot root, std::string_view path);
  // Creates the key when it is missing.
  bool SetString(RegistryRoot root, std::string_view path, std::string_view name,
                 std::string_view value);
  bool SetBinary(RegistryRoot root, std::string_view path, std::string_view name,
                 std::string_view bytes);
  // False when the key or value is missing.
  bool GetValue(RegistryRoot root, std::string_view path, std::string_view name,
                RegistryValue* value);
  // False also when the value is binary.
  bool GetString(RegistryRoot root, std::string_view path, std::string_view name,
                 std::string* value);
  // Subkey names of the key in case-insensitive order; empty when the key is missing.
  std::vector<std::string> EnumSubkeys(RegistryRoot root, std::string_view path);
  // Value names of the key in case-insensitive order.
  std::vector<std::string> EnumValues(RegistryRoot root, std::string_view path);
  // Removes the key with its values and subkeys. False when it is missing.
  bool DeleteKey(RegistryRoot root, std::string_view path);
  bool DeleteValue(RegistryRoot root, std::string_view path, std::string_view name);

 private:
  RegistryFileState ReadLocked(RegistryRoot root, RegistryKeyNode* tree);

  std::string folder_;
  std::mutex mutex_;  // one change at a time within the process; a file lock across processes
};

}  // namespace platform
