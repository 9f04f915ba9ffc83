#include "testing/gate/register_services.h"

#include <strings.h>

#include "client/captcha.pb.h"
#include "client/userinfo.pb.h"
#include "interface/command_ids.h"
#include "testing/gate/captcha_png.h"
#include "testing/gate/hall_services.h"

namespace testgate {
namespace {

constexpr uint16_t kCaptcha = qv::cmd::kKindCaptcha;
constexpr uint16_t kUserInfo = qv::cmd::kKindUserInfo;

}  // namespace

RegisterServices::RegisterServices(LocalGate& gate) : gate_(gate) {
  InstallCaptcha();
  InstallRegister();
}

void RegisterServices::SetCaptchaTexts(std::vector<std::string> texts) {
  std::lock_guard<std::mutex> lock(mu_);
  next_texts_ = std::move(texts);
}

void RegisterServices::SetCaptchaImage(std::optional<std::string> bytes) {
  std::lock_guard<std::mutex> lock(mu_);
  image_override_ = std::move(bytes);
}

void RegisterServices::SetRegisterResult(uint32_t code, std::string info) {
  std::lock_guard<std::mutex> lock(mu_);
  register_code_ = code;
  register_info_ = std::move(info);
}

void RegisterServices::SetRegistrationObserver(
    std::function<void(const RegistrationSeen&)> observer) {
  std::lock_guard<std::mutex> lock(mu_);
  registered_ = std::move(observer);
}

std::vector<RegisterServices::CaptchaIssued> RegisterServices::captchas() const {
  std::lock_guard<std::mutex> lock(mu_);
  return captchas_;
}

std::vector<RegisterServices::RegistrationSeen> RegisterServices::registrations() const {
  std::lock_guard<std::mutex> lock(mu_);
  return registrations_;
}

void RegisterServices::InstallCaptcha() {
  gate_.OnTransfer(
      kCaptcha, qv::captcha::IDCaptchaReq,
      [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        qv::captcha::CaptchaReq request;
        if (!request.ParseFromString(data))
          return;
        qv::captcha::CaptchaRsp reply;
        {
          std::lock_guard<std::mutex> lock(mu_);
          const uint32_t n = ++captcha_count_;
          CaptchaIssued issued;
          issued.req_session = request.req_session();
          issued.id = "cap-" + std::to_string(n);
          if (!next_texts_.empty()) {
            issued.text = next_texts_.front();
            next_texts_.erase(next_texts_.begin());
          } else {
            issued.text = CaptchaText(n * 7919u + request.req_session());
          }
          reply.set_req_session(request.req_session());
          reply.set_result_code(0);
          reply.set_img_type("png");
          reply.set_img_data(image_override_ ? *image_override_ : DrawCaptchaPng(issued.text, n));
          reply.set_img_width(kCaptchaWidth);
          reply.set_img_height(kCaptchaHeight);
          reply.set_captcha_id(issued.id);
          issued_[issued.id] = issued.text;
          captchas_.push_back(std::move(issued));
        }
        SendTransferOn(c, kCaptcha, qv::captcha::IDCaptchaRsp, reply.SerializeAsString(),
                       kUserInfoAppType, kUserInfoAppId);
      });
}

void RegisterServices::InstallRegister() {
  gate_.OnTransfer(
      kUserInfo, qv::userinfo::IDRegisterReq,
      [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        qv::userinfo::RegisterReq request;
        if (!request.ParseFromString(data))
          return;
        qv::userinfo::RegisterRsp reply;
        RegistrationSeen seen;
        std::function<void(const RegistrationSeen&)> observer;
        {
          std::lock_guard<std::mutex> lock(mu_);
          const auto issued = issued_.find(request.captcha_id());
          const bool captcha_right =
              issued != issued_.end() && request.captcha_text().size() == issued->second.size() &&
              strcasecmp(request.captcha_text().c_str(), issued->second.c_str()) == 0;
          if (!captcha_right) {
            reply.set_result_code(kWrongCaptchaCode);
            reply.set_result_info(kWrongCaptchaInfo);
          } else {
            issued_.erase(issued);  // a captcha is good for one registration
            reply.set_result_code(register_code_);
            if (register_code_ == 0) {
              reply.set_user_id(next_user_id_++);
              reply.set_account(request.account());
            } else {
              reply.set_result_info(register_info_);
            }
          }
          seen = {request.account(),    request.nick_name(),    request.clear_password(),
                  request.captcha_id(), request.captcha_text(), reply.result_code(),
                  reply.user_id()};
          registrations_.push_back(seen);
          if (reply.result_code() == 0)
            observer = registered_;
        }
        SendTransferOn(c, kUserInfo, qv::userinfo::IDRegisterRsp, reply.SerializeAsString(),
                       kUserInfoAppType, kUserInfoAppId);
        if (observer)
          observer(seen);
      });
}

}  // namespace testgate
