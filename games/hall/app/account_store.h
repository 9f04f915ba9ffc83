// The accounts that logged in from this desktop: one registry key per account under
// "Software\Zoltamar5\Hall\UserInfo" of the current user, named by the user id in decimal, with
// "UserAccount" (as typed) and, when the user chose to keep it, "UserPassword" scrambled with a
// key made from the id; and "account.ini" (section "main": "lastaccount", "savepwd") for the last
// account and the save-password choice.
//
// Both files are the user's own and may have been edited or damaged, so everything read back is
// checked: a record whose key name is not an id, whose account is empty or over-long is left out;
// a scrambled password that does not decode to a whole, padded, terminated text reads as empty.
// Files are written whole (temporary file, then rename) with mode 0600.
//
// Window thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class RegistryStore;
}

namespace hall {

inline constexpr char kAccountStoreKey[] = "Software\\Zoltamar5\\Hall\\UserInfo";
inline constexpr char kAccountIniFile[] = "account.ini";

// Longest saved account read back, in bytes (the registry's value buffer less its terminator).
inline constexpr size_t kMaxSavedAccountBytes = 255;
// Longest password the store keeps, in ANSI bytes (its conversion buffer less the terminator).
inline constexpr size_t kMaxSavedPasswordBytes = 127;
// Longest scrambled text read back: the base64 of the longest password's blocks, with room to
// spare. A longer stored value is not decoded at all.
inline constexpr size_t kMaxScrambledText = 256;

// One saved account as the login dialog lists it.
struct UserAccountAndPassword {
  std::string account;
  std::string password;  // unscrambled, ANSI; empty when none was saved
  uint64_t user_id = 0;
  bool operator==(const UserAccountAndPassword&) const = default;
};

// The seed of the scrambling key of an account: the low 32 bits of its id as "%08x".
std::string PasswordSeed(uint64_t user_id);

// The stored form of `password`: Blowfish (ECB, the cipher's padding) over the password's bytes and
// one zero byte, keyed with the 32 lower-case hex digits of MD5(seed + the program's scrambling
// text), as base64.
std::string ScramblePassword(const std::string& seed, const std::string& password);
// The password stored as `scrambled`, or empty when `scrambled` is not the base64 of whole blocks,
// is longer than kMaxScrambledText, does not end in valid padding or holds no terminating zero.
std::string UnscramblePassword(const std::string& seed, const std::string& scrambled);

class AccountStore {
 public:
  // Keeps the accounts in `registry` and "account.ini" in `ini_folder` (made, mode 0700, on the
  // first write). Both must outlive the store.
  AccountStore(platform::RegistryStore& registry, std::string ini_folder);

  // Where the hall keeps "account.ini": "$XDG_CONFIG_HOME/tarvix" (beside the registry store).
  static std::string DefaultIniFolder();

  // After a successful login: the account's key gets "UserAccount" = `account` and, when
  // `save_password`, "UserPassword" = the scrambled password (otherwise an earlier one stays).
  // `password` is UTF-8; it is stored in the ANSI code page, cut to kMaxSavedPasswordBytes. The
  // last account is saved even when the key cannot be written.
  void SaveAccount(const std::string& account, const std::string& password, uint64_t user_id,
                   bool save_password);

  // The saved accounts in the store's key order, each checked as the header says.
  std::vector<UserAccountAndPassword> LoadAccountList();

  // Removes the key of `user_id` with its values. False for id 0 or when there is no such key.
  bool DeleteSavedAccount(uint64_t user_id);

  // "lastaccount" of section "main". Saving writes the file at once; an account holding a line
  // break is refused (false), since it would end the line and start another.
  bool SaveLastAccount(const std::string& account);
  std::string LoadLastAccount() const;
  // "savepwd" of section "main"; reading is true only for the value 1.
  bool SaveSavePassword(int value);
  bool LoadSavePassword() const;

  const std::string& ini_path() const { return ini_path_; }

 private:
  bool SaveIniValue(const std::string& key, const std::string& value);

  platform::RegistryStore& registry_;
  std::string ini_folder_;
  std::string ini_path_;
};

}  // namespace hall
