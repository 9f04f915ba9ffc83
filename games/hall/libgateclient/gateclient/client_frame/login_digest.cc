#include "gateclient/client_frame/login_digest.h"

#include <cstdio>

#include "gateclient/crypto/md5.h"

namespace qvc {

void MakeSaltedDigest(std::string* out, const std::string& text, const std::string& salt) {
  std::string salted = Md5Hex(text.data(), text.size()) + salt;
  *out = Md5Hex(salted.data(), salted.size());
}

std::string MakeLoginDigest(const std::string& password, const std::string& account,
                            uint32_t token) {
  std::string inner;
  MakeSaltedDigest(&inner, password, account);
  char suffix[9];
  std::snprintf(suffix, sizeof suffix, "%08x", token);
  inner += suffix;
  return Md5Hex(inner.data(), inner.size());
}

}  // namespace qvc
