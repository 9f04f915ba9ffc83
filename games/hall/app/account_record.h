// The one record of the account being logged in: filled by the login dialog, completed by the
// main window after a successful login, read by the login dialog, the group bar and the main
// window. Window thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "types/types.pb.h"

namespace hall {

struct AccountRecord {
  std::string account;
  std::string clear_password;                     // UTF-8
  std::string password_digest;                    // as the login request carries it
  bool save_password = true;                      // overwritten at each successful login
  uint32_t group_id = 0;                          // the group chosen in the group bar
  std::map<uint32_t, qv::types::FundItem> funds;  // by FundItem.id
};

}  // namespace hall
