#include "games/hall/app/account_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "games/hall/text/text_convert.h"
#include "gateclient/config/ini_file.h"
#include "gateclient/crypto/base64.h"
#include "gateclient/crypto/blowfish.h"
#include "gateclient/crypto/md5.h"
#include "platform/file_util.h"
#include "platform/registry.h"

namespace hall {
namespace {

// Mixed into every scrambling key; changing it makes every saved password unreadable.
constexpr char kScrambleText[] = "mor39山水之间";
constexpr char kIniSection[] = "main";
constexpr char kLastAccountKey[] = "lastaccount";
constexpr char kSavePasswordKey[] = "savepwd";
constexpr char kAccountValue[] = "UserAccount";
constexpr char kPasswordValue[] = "UserPassword";
constexpr platform::RegistryRoot kRoot = platform::RegistryRoot::kCurrentUser;

Blowfish ScrambleCipher(const std::string& seed) {
  const std::string material = seed + kScrambleText;
  const std::string key = Md5Hex(material.data(), material.size());
  Blowfish cipher;
  cipher.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  return cipher;
}

// The bytes of `text` when it is exactly the base64 of some bytes (whole groups of four, at most
// two '=' and only at the end); false otherwise.
bool DecodeWholeBase64(const std::string& text, std::string* bytes) {
  if (text.empty() || text.size() % 4 != 0)
    return false;
  size_t padding = 0;
  while (padding < 2 && text[text.size() - 1 - padding] == '=')
    ++padding;
  // The decoder stops at the first byte outside the alphabet, so a text that decodes to fewer
  // bytes than its length promises holds something else.
  const size_t expected = text.size() / 4 * 3 - padding;
  std::string out(expected + 1, '\0');
  const int n = Base64Decode(out.data(), out.size(), text.c_str());
  if (n < 0 || static_cast<size_t>(n) != expected)
    return false;
  out.resize(expected);
  *bytes = std::move(out);
  return true;
}

std::string AccountKeyPath(uint64_t user_id) {
  char path[sizeof kAccountStoreKey + 24];
  std::snprintf(path, sizeof path, "%s\\%lld", kAccountStoreKey, static_cast<long long>(user_id));
  return path;
}

// The id a key is named by, when the name is exactly the decimal form the store writes ("%lld" of
// the id): no sign but a leading '-', no leading zeros, no other characters, no overflow.
bool ParseAccountKeyName(const std::string& name, uint64_t* user_id) {
  if (name.empty() || name.size() > 20)
    return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(name.c_str(), &end, 10);
  if (errno != 0 || end != name.c_str() + name.size())
    return false;
  char canonical[24];
  std::snprintf(canonical, sizeof canonical, "%lld", value);
  if (name != canonical)
    return false;
  *user_id = static_cast<uint64_t>(value);
  return true;
}

const std::string* StringValue(const platform::RegistryKeyNode& key, const char* name) {
  const platform::RegistryValue* v = key.Get(name);
  return v != nullptr && v->type == platform::RegistryValueType::kString ? &v->data : nullptr;
}

}  // namespace

std::string PasswordSeed(uint64_t user_id) {
  char seed[16];
  std::snprintf(seed, sizeof seed, "%08x", static_cast<uint32_t>(user_id));
  return seed;
}

std::string ScramblePassword(const std::string& seed, const std::string& password) {
  std::vector<uint8_t> data(password.begin(), password.end());
  data.push_back(0);
  const std::vector<uint8_t> sealed = ScrambleCipher(seed).Encrypt(data);
  std::string text(Base64EncodedSize(sealed.size()), '\0');
  const int n = Base64Encode(text.data(), text.size(), sealed.data(), sealed.size());
  text.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return text;
}

std::string UnscramblePassword(const std::string& seed, const std::string& scrambled) {
  if (scrambled.size() > kMaxScrambledText)
    return {};
  std::string bytes;
  if (!DecodeWholeBase64(scrambled, &bytes) || bytes.size() % Blowfish::kBlockSize != 0)
    return {};
  const std::vector<uint8_t> sealed(bytes.begin(), bytes.end());
  const std::vector<uint8_t> plain = ScrambleCipher(seed).Decrypt(sealed);
  // Valid padding always removes one to eight bytes; an unchanged length means there was none.
  if (plain.size() == sealed.size())
    return {};
  const void* zero = std::memchr(plain.data(), 0, plain.size());
  if (zero == nullptr)
    return {};
  return std::string(reinterpret_cast<const char*>(plain.data()),
                     static_cast<const uint8_t*>(zero) - plain.data());
}

AccountStore::AccountStore(platform::RegistryStore& registry, std::string ini_folder)
    : registry_(registry),
      ini_folder_(std::move(ini_folder)),
      ini_path_(platform::JoinPath(ini_folder_, kAccountIniFile)) {}

std::string AccountStore::DefaultIniFolder() {
  return platform::DirName(platform::RegistryStore::DefaultFolder());
}

void AccountStore::SaveAccount(const std::string& account, const std::string& password,
                               uint64_t user_id, bool save_password) {
  char ansi[kMaxSavedPasswordBytes + 1];
  Utf8ToAnsi(password.c_str(), ansi, sizeof ansi);
  const std::string scrambled = ScramblePassword(PasswordSeed(user_id), ansi);
  const std::string path = AccountKeyPath(user_id);
  registry_.Modify(kRoot, [&](platform::RegistryKeyNode& tree) {
    platform::RegistryKeyNode* key = tree.Create(path);
    if (key == nullptr)
      return false;
    key->Set(kAccountValue, {platform::RegistryValueType::kString, account});
    if (save_password)
      key->Set(kPasswordValue, {platform::RegistryValueType::kString, scrambled});
    return true;
  });
  SaveLastAccount(account);
}

std::vector<UserAccountAndPassword> AccountStore::LoadAccountList() {
  std::vector<UserAccountAndPassword> out;
  platform::RegistryKeyNode tree;
  registry_.Read(kRoot, &tree);
  const platform::RegistryKeyNode* store = tree.Find(kAccountStoreKey);
  if (store == nullptr)
    return out;
  for (const auto& [name, key] : store->subkeys()) {
    UserAccountAndPassword record;
    if (!ParseAccountKeyName(name, &record.user_id))
      continue;
    const std::string* account = StringValue(*key, kAccountValue);
    if (account == nullptr || account->empty() || account->size() > kMaxSavedAccountBytes)
      continue;
    record.account = *account;
    if (const std::string* scrambled = StringValue(*key, kPasswordValue))
      record.password = UnscramblePassword(PasswordSeed(record.user_id), *scrambled);
    out.push_back(std::move(record));
  }
  return out;
}

bool AccountStore::DeleteSavedAccount(uint64_t user_id) {
  if (user_id == 0)
    return false;
  return registry_.DeleteKey(kRoot, AccountKeyPath(user_id));
}

bool AccountStore::SaveIniValue(const std::string& key, const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos)
    return false;
  CIniFile ini(ini_path_);
  ini.Load();
  ini.SetValue(true, kIniSection, key, value);
  if (!platform::MakeDirectories(ini_folder_, 0700))
    return false;
  return platform::WriteFileAtomic(ini_path_, ini.FormatText(), 0600);
}

bool AccountStore::SaveLastAccount(const std::string& account) {
  return SaveIniValue(kLastAccountKey, account);
}

std::string AccountStore::LoadLastAccount() const {
  CIniFile ini(ini_path_);
  ini.Load();
  return ini.GetValue(kIniSection, kLastAccountKey, "");
}

bool AccountStore::SaveSavePassword(int value) {
  return SaveIniValue(kSavePasswordKey, std::to_string(value));
}

bool AccountStore::LoadSavePassword() const {
  CIniFile ini(ini_path_);
  ini.Load();
  return ini.GetBool(kIniSection, kSavePasswordKey, false);
}

}  // namespace hall
