// The registration services behind the local gate: captchas (CaptchaReq -> CaptchaRsp with a
// freshly drawn PNG of four characters and a captcha id) and registrations (RegisterReq ->
// RegisterRsp). A registration whose captcha id is not one this gate gave out, or whose text does
// not match that captcha (letter case aside), is refused as a wrong captcha; otherwise the reply
// is what the test scripted (success by default, or a refusal with its text).
//
// Handlers run on the gate's loop thread; the script and the records are guarded by one lock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testing/gate/local_gate.h"

namespace testgate {

class RegisterServices {
 public:
  // The sender the replies name: the user-information service.
  static constexpr uint32_t kUserInfoAppType = 20;
  static constexpr uint32_t kUserInfoAppId = 2;
  // The refusal of a wrong captcha.
  static constexpr uint32_t kWrongCaptchaCode = 2;
  static constexpr char kWrongCaptchaInfo[] = "验证码错误，请重新输入";

  // Files the handlers on `gate`, which must outlive the services.
  explicit RegisterServices(LocalGate& gate);

  // --- script (any thread) ---
  // The texts of the next captchas, in order; once used up, each text is drawn at random.
  void SetCaptchaTexts(std::vector<std::string> texts);
  // Captcha replies carry `bytes` as their image instead of a drawn one (a damaged or hostile
  // image); nullopt returns to drawn ones.
  void SetCaptchaImage(std::optional<std::string> bytes);
  // The reply to a registration whose captcha was right: result_code 0 registers the account
  // (with the next user id); any other code refuses it with `info`.
  void SetRegisterResult(uint32_t code, std::string info);

  // --- what the hall asked (any thread) ---
  struct CaptchaIssued {
    uint32_t req_session = 0;  // of the request
    std::string id;
    std::string text;
  };
  struct RegistrationSeen {
    std::string account;
    std::string nick_name;
    std::string clear_password;
    std::string captcha_id;
    std::string captcha_text;
    uint32_t result_code = 0;  // as answered
    uint64_t user_id = 0;      // given to a registered account
  };
  // Told of every account registered, after the reply went out, on the gate's loop thread (the
  // login service learns the new account from it). It must not block.
  void SetRegistrationObserver(std::function<void(const RegistrationSeen&)> observer);
  std::vector<CaptchaIssued> captchas() const;
  std::vector<RegistrationSeen> registrations() const;

 private:
  void InstallCaptcha();
  void InstallRegister();

  LocalGate& gate_;
  mutable std::mutex mu_;
  std::vector<std::string> next_texts_;
  std::optional<std::string> image_override_;
  uint32_t register_code_ = 0;
  std::string register_info_;
  uint64_t next_user_id_ = 50001;
  uint32_t captcha_count_ = 0;
  std::map<std::string, std::string> issued_;  // captcha id -> its text
  std::vector<CaptchaIssued> captchas_;
  std::vector<RegistrationSeen> registrations_;
  std::function<void(const RegistrationSeen&)> registered_;
};

}  // namespace testgate
