#include "gateclient/client_frame/gate_session.h"

#include <cstdlib>
#include <ctime>

#include "gateclient/client_frame/login_digest.h"
#include "gateclient/command/payload_key.h"

namespace qvc {

void GateSession::SetCredentials(std::string account, std::string password) {
  std::lock_guard<std::mutex> lock(mu_);
  account_ = std::move(account);
  password_ = std::move(password);
}

std::unique_ptr<qv::CmdLoginReq> GateSession::StartLogin() {
  std::lock_guard<std::mutex> lock(mu_);
  login_wanted_ = true;
  const bool hello_done = state_ == kHelloDone || state_ == 3 || state_ == kLoginFailed;
  if (!hello_done || login_sent_) return nullptr;
  return MakeLoginLocked();
}

void GateSession::OnConnected() {
  std::lock_guard<std::mutex> lock(mu_);
  login_token_ = 0;
  key_material_.clear();
  cipher_.reset();
  extra_info_.Clear();
  session_info_.Clear();
  login_sent_ = false;
  state_ = kConnected;
}

void GateSession::OnDisconnected() {
  std::lock_guard<std::mutex> lock(mu_);
  state_ = kNoConnection;
  login_sent_ = false;
}

std::unique_ptr<qv::CmdLoginReq> GateSession::OnHelloRsp(const qv::gate::HelloRsp& reply) {
  std::lock_guard<std::mutex> lock(mu_);
  const uint32_t flags = reply.rsp_flag();
  if (flags & qv::gate::HelloRsp::EncryptInfo) {
    key_material_ = qv::PayloadKeyMaterial(reply.encrypt_key());
    auto cipher = std::make_shared<Blowfish>();
    cipher->SetKey(reinterpret_cast<const uint8_t*>(key_material_.data()), key_material_.size());
    cipher_ = std::move(cipher);
  }
  if (flags & qv::gate::HelloRsp::AdviceNewGate) {
    gate_addresses_.assign(reply.gate_address().begin(), reply.gate_address().end());
  }
  if (flags & qv::gate::HelloRsp::LoginToken) login_token_ = reply.login_token();
  state_ = kHelloDone;
  login_sent_ = false;
  if (!login_wanted_) return nullptr;
  return MakeLoginLocked();
}

bool GateSession::StoreLoginRsp(const qv::CmdLoginRsp& reply) {
  std::lock_guard<std::mutex> lock(mu_);
  login_reply_.CopyFrom(reply);
  has_login_reply_ = true;
  login_sent_ = false;
  const bool ok = reply.message.login_result() == 0;
  if (ok) {
    // A half-parsed record would show another user's leftovers: keep all of it or none.
    if (!base_info_.ParseFromString(reply.message.base_info_buff())) base_info_.Clear();
    if (!extra_info_.ParseFromString(reply.message.extra_info_buff())) extra_info_.Clear();
    if (!session_info_.ParseFromString(reply.message.session_info_buff())) session_info_.Clear();
  }
  state_ = ok ? kLoggedIn : kLoginFailed;
  return ok;
}

std::unique_ptr<qv::CmdLoginReq> GateSession::MakeLoginLocked() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  password_digest_ = MakeLoginDigest(password_, account_, login_token_);
  auto login = std::make_unique<qv::CmdLoginReq>();
  qv::client::LoginReq& m = login->message;
  m.set_game_kind(kGameKind);
  m.set_action_type(qv::client::LoginReq::ByAccount);
  m.set_client_os(qv::types::PC);
  m.set_build_no(0);
  m.set_market_id(0);
  m.set_game_id(0);
  m.set_login_account(account_);
  m.set_login_password(password_digest_);
  m.set_logon_token(login_token_);
  login->routing.apptype = kLoginAppType;
  login->routing.appid = kLoginAppId;
  login_sent_ = true;
  return login;
}

int32_t GateSession::state() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}
bool GateSession::login_wanted() const {
  std::lock_guard<std::mutex> lock(mu_);
  return login_wanted_;
}
uint32_t GateSession::login_token() const {
  std::lock_guard<std::mutex> lock(mu_);
  return login_token_;
}
std::string GateSession::account() const {
  std::lock_guard<std::mutex> lock(mu_);
  return account_;
}
std::string GateSession::password_digest() const {
  std::lock_guard<std::mutex> lock(mu_);
  return password_digest_;
}
std::string GateSession::key_material() const {
  std::lock_guard<std::mutex> lock(mu_);
  return key_material_;
}
std::vector<std::string> GateSession::gate_addresses() const {
  std::lock_guard<std::mutex> lock(mu_);
  return gate_addresses_;
}
std::shared_ptr<const Blowfish> GateSession::cipher() const {
  std::lock_guard<std::mutex> lock(mu_);
  return cipher_;
}
std::unique_ptr<qv::CmdLoginRsp> GateSession::CopyLoginReply() const {
  auto copy = std::make_unique<qv::CmdLoginRsp>();
  std::lock_guard<std::mutex> lock(mu_);
  if (!has_login_reply_) return nullptr;
  copy->CopyFrom(login_reply_);
  return copy;
}
uint64_t GateSession::user_id() const {
  std::lock_guard<std::mutex> lock(mu_);
  return login_reply_.message.user_id();
}
qv::types::BaseUserInfo GateSession::base_info() const {
  std::lock_guard<std::mutex> lock(mu_);
  return base_info_;
}
qv::types::ExtraUserInfo GateSession::extra_info() const {
  std::lock_guard<std::mutex> lock(mu_);
  return extra_info_;
}
qv::types::UserSessionInfo GateSession::session_info() const {
  std::lock_guard<std::mutex> lock(mu_);
  return session_info_;
}

}  // namespace qvc
