// The login password field: a salted MD5 digest that changes with every login token, so a
// recorded digest is useless with another token.
#pragma once

#include <cstdint>
#include <string>

namespace qvc {

// out = Md5Hex(Md5Hex(text) followed by salt).
void MakeSaltedDigest(std::string* out, const std::string& text, const std::string& salt);

// Md5Hex(MakeSaltedDigest(password, account) followed by "%08x"(token)). `password` is UTF-8,
// `account` as the login dialog stored it.
std::string MakeLoginDigest(const std::string& password, const std::string& account,
                            uint32_t token);

}  // namespace qvc
