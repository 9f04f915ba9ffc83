// The user's session with the gate: account and password, the last login reply with the user's
// records, the payload key from the gate's hello reply, the login token and the login state.
//
// Written on the job thread (connection, hello and login replies) and on the window thread
// (credentials, StartLogin), read by the send path's payload transform, the main window and the
// plan tables: one lock guards every field and every read hands out a copy. Deciding to send a
// login happens under that lock, so a login started while a hello reply arrives goes out once.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "gateclient/command/typed_commands.h"
#include "gateclient/crypto/blowfish.h"
#include "types/types.pb.h"

namespace qvc {

class GateSession {
 public:
  enum State : int32_t {
    kNoConnection = 0,
    kConnected = 1,  // hello sent
    kHelloDone = 2,
    kLoginFailed = 4,
    kLoggedIn = 5,
  };
  static constexpr uint32_t kGameKind = 502;
  static constexpr std::string_view kInitialPasswordDigest = "5f0c9e2a7b1d48c3a6e0f97b2d4c8a61";
  // Routing of the login request.
  static constexpr uint32_t kLoginAppType = 7;
  static constexpr uint32_t kLoginAppId = 2;

  GateSession() = default;
  GateSession(const GateSession&) = delete;
  GateSession& operator=(const GateSession&) = delete;

  // --- window thread ---
  void SetCredentials(std::string account, std::string password);
  // Records the wish to log in. Returns the login to send now when a hello reply was received
  // and neither a login is in force nor one was already sent for this hello.
  std::unique_ptr<qv::CmdLoginReq> StartLogin();

  // --- job thread ---
  // A new connection: token, key and cipher forgotten, extra and session records cleared;
  // state 1. Account, password, digest, login reply, base record, gates and the wish stay.
  void OnConnected();
  // The connection closed: state 0.
  void OnDisconnected();
  // Applies a hello reply (key, gate list, token by its flag bits); state 2. Returns the login
  // to send when the user asked to log in.
  std::unique_ptr<qv::CmdLoginReq> OnHelloRsp(const qv::gate::HelloRsp& reply);
  // Keeps the login reply (routing and message) and, on success, the user records parsed from
  // its buffers; a buffer that does not parse leaves its record empty. State 5 on success, else
  // 4. Returns true on success.
  bool StoreLoginRsp(const qv::CmdLoginRsp& reply);

  // --- reads (any thread), copies ---
  int32_t state() const;
  bool login_wanted() const;
  uint32_t login_token() const;
  std::string account() const;
  std::string password_digest() const;
  std::string key_material() const;
  std::vector<std::string> gate_addresses() const;
  // Null until a hello reply carried a key; the schedule stays valid while the caller holds it.
  std::shared_ptr<const Blowfish> cipher() const;
  // A copy of the last login reply (routing and message), for the main window and game tables;
  // null before any arrived.
  std::unique_ptr<qv::CmdLoginRsp> CopyLoginReply() const;
  uint64_t user_id() const;
  qv::types::BaseUserInfo base_info() const;
  qv::types::ExtraUserInfo extra_info() const;
  qv::types::UserSessionInfo session_info() const;

 private:
  // REQUIRES mu_ held. Builds the login with a fresh digest and marks it sent.
  std::unique_ptr<qv::CmdLoginReq> MakeLoginLocked();

  mutable std::mutex mu_;
  qv::CmdLoginRsp login_reply_;
  qv::types::BaseUserInfo base_info_;
  qv::types::ExtraUserInfo extra_info_;
  qv::types::UserSessionInfo session_info_;
  std::string account_;
  std::string password_digest_{kInitialPasswordDigest};
  std::string password_;
  std::string key_material_;
  std::vector<std::string> gate_addresses_;
  uint32_t login_token_ = 0;
  std::shared_ptr<const Blowfish> cipher_;
  int32_t state_ = kNoConnection;
  bool login_wanted_ = false;
  bool login_sent_ = false;  // a login went out since the last hello reply
  bool has_login_reply_ = false;
};

}  // namespace qvc
