#include "testing/gate/register_services.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include "client/captcha.pb.h"
#include "client/userinfo.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"
#include "testing/gate/captcha_png.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;

// A bare hall: transfers over a blocking loopback socket, payloads in clear.
class RawHall {
 public:
  explicit RawHall(uint16_t port) : fd_(platform::ConnectToLoopback(port)) {
    platform::SetReceiveTimeout(fd_, 5000);
  }
  ~RawHall() { platform::CloseSocket(fd_); }
  bool ok() const { return fd_ >= 0; }

  void Send(uint32_t kind, uint32_t subid, const google::protobuf::MessageLite& m) {
    qv::gate::TransferDataReq t;
    t.set_data_cmd_kind(kind);
    t.set_data_cmd_subid(subid);
    t.set_data(m.SerializePartialAsString());
    t.set_att_apptype(20);
    t.set_att_appid(2);
    gateframe::PacketFrame frame;
    frame.kind = 12;
    frame.subid = 3;
    frame.payload = t.SerializeAsString();
    std::string bytes;
    ASSERT_TRUE(gateframe::EncodeFrame(frame, &bytes));
    ASSERT_TRUE(platform::WriteAll(fd_, bytes.data(), bytes.size()));
  }
  // The inner message of the next transfer, which must be of (kind, subid).
  template <typename Message>
  Message Receive(uint32_t kind, uint32_t subid) {
    Message m;
    uint8_t prefix[4];
    if (!platform::ReadExact(fd_, prefix, 4)) {
      ADD_FAILURE() << "nothing came";
      return m;
    }
    const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
    std::string bytes(reinterpret_cast<char*>(prefix), 4);
    bytes.resize(4 + length);
    EXPECT_TRUE(platform::ReadExact(fd_, bytes.data() + 4, length));
    gateframe::PacketFrame frame;
    EXPECT_EQ(gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame),
              gateframe::DecodeError::kNone);
    qv::gate::TransferDataReq t;
    EXPECT_TRUE(t.ParseFromString(frame.payload));
    EXPECT_EQ(t.data_cmd_kind(), kind);
    EXPECT_EQ(t.data_cmd_subid(), subid);
    EXPECT_EQ(t.att_apptype(), RegisterServices::kUserInfoAppType);
    EXPECT_TRUE(m.ParseFromString(t.data()));
    return m;
  }

  qv::captcha::CaptchaRsp AskCaptcha(uint32_t session) {
    qv::captcha::CaptchaReq request;
    request.set_req_session(session);
    Send(159, 1, request);
    return Receive<qv::captcha::CaptchaRsp>(159, 2);
  }
  qv::userinfo::RegisterRsp Register(const std::string& account, const std::string& id,
                                     const std::string& text) {
    qv::userinfo::RegisterReq request;
    request.set_account(account);
    request.set_nick_name("新玩家");
    request.set_clear_password("secret99");
    request.set_captcha_id(id);
    request.set_captcha_text(text);
    Send(23, 3, request);
    return Receive<qv::userinfo::RegisterRsp>(23, 4);
  }

 private:
  int fd_;
};

class RegisterServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gate_.Start());
    hall_ = std::make_unique<RawHall>(gate_.port());
    ASSERT_TRUE(hall_->ok());
    ASSERT_TRUE(gate_.WaitForAccepted(1, 5s));
  }
  LocalGate gate_;
  RegisterServices services_{gate_};
  std::unique_ptr<RawHall> hall_;
};

// Pixels darker than the noise in each quarter of the picture, where the four characters stand.
std::vector<int> InkPerCharacter(SDL_Surface* s) {
  std::vector<int> ink(4, 0);
  for (int y = 0; y < s->h; ++y) {
    const auto* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < s->w; ++x) {
      const uint8_t* p = row + x * 3;
      if (p[0] + p[1] + p[2] < 3 * 150)
        ++ink[std::min(3, x * 4 / s->w)];
    }
  }
  return ink;
}

TEST_F(RegisterServicesTest, ACaptchaIsAPngOfFourCharactersWithAnIdOfItsOwn) {
  services_.SetCaptchaTexts({"AB23"});
  const qv::captcha::CaptchaRsp first = hall_->AskCaptcha(777);
  const qv::captcha::CaptchaRsp second = hall_->AskCaptcha(778);
  EXPECT_EQ(first.req_session(), 777u);
  EXPECT_FALSE(first.captcha_id().empty());
  EXPECT_NE(first.captcha_id(), second.captcha_id());
  EXPECT_NE(first.img_data(), second.img_data());
  const auto issued = services_.captchas();
  ASSERT_EQ(issued.size(), 2u);
  EXPECT_EQ(issued[0].text, "AB23");
  EXPECT_EQ(issued[1].text.size(), 4u);
  EXPECT_EQ(issued[1].text.find_first_not_of(kCaptchaAlphabet), std::string::npos);

  // A real decoder reads it, and every character's place holds ink.
  SDL_RWops* rw =
      SDL_RWFromConstMem(first.img_data().data(), static_cast<int>(first.img_data().size()));
  SDL_Surface* raw = IMG_LoadPNG_RW(rw);
  SDL_RWclose(rw);
  ASSERT_NE(raw, nullptr) << IMG_GetError();
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(raw);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, kCaptchaWidth);
  EXPECT_EQ(s->h, kCaptchaHeight);
  for (int ink : InkPerCharacter(s))
    EXPECT_GT(ink, 80);
  SDL_FreeSurface(s);
}

TEST_F(RegisterServicesTest, RegistrationsAreCheckedAgainstTheCaptchaAndScripted) {
  services_.SetCaptchaTexts({"K7WQ", "M3NP", "XY45"});
  const std::string id1 = hall_->AskCaptcha(1).captcha_id();
  const std::string id2 = hall_->AskCaptcha(2).captcha_id();
  const std::string id3 = hall_->AskCaptcha(3).captcha_id();
  struct Case {
    const char* what;
    std::string id;
    const char* text;
    uint32_t script_code;
    const char* script_info;
    uint32_t want_code;
    const char* want_info;
  } cases[] = {
      {"wrong text", id1, "K7WX", 0, "", RegisterServices::kWrongCaptchaCode,
       RegisterServices::kWrongCaptchaInfo},
      {"unknown id", "cap-999", "K7WQ", 0, "", RegisterServices::kWrongCaptchaCode,
       RegisterServices::kWrongCaptchaInfo},
      {"text longer than the captcha", id1, "K7WQQ", 0, "", RegisterServices::kWrongCaptchaCode,
       RegisterServices::kWrongCaptchaInfo},
      {"right, in lower case", id1, "k7wq", 0, "", 0, ""},
      {"the same captcha again", id1, "K7WQ", 0, "", RegisterServices::kWrongCaptchaCode,
       RegisterServices::kWrongCaptchaInfo},
      {"refused by the script", id2, "M3NP", 7, "该账号已被注册", 7, "该账号已被注册"},
      {"the other id's text", id3, "M3NP", 0, "", RegisterServices::kWrongCaptchaCode,
       RegisterServices::kWrongCaptchaInfo},
  };
  for (const Case& c : cases) {
    services_.SetRegisterResult(c.script_code, c.script_info);
    const qv::userinfo::RegisterRsp reply = hall_->Register("newuser01", c.id, c.text);
    EXPECT_EQ(reply.result_code(), c.want_code) << c.what;
    EXPECT_EQ(reply.result_info(), c.want_info) << c.what;
    EXPECT_EQ(reply.has_user_id(), c.want_code == 0) << c.what;
  }
  const auto seen = services_.registrations();
  ASSERT_EQ(seen.size(), std::size(cases));
  EXPECT_EQ(seen[3].account, "newuser01");
  EXPECT_EQ(seen[3].nick_name, "新玩家");
  EXPECT_EQ(seen[3].clear_password, "secret99");
  EXPECT_EQ(seen[3].captcha_id, id1);
  EXPECT_EQ(seen[3].captcha_text, "k7wq");
}

TEST_F(RegisterServicesTest, AScriptedImageReplacesTheDrawnOne) {
  services_.SetCaptchaImage(std::string("not a png"));
  EXPECT_EQ(hall_->AskCaptcha(5).img_data(), "not a png");
  services_.SetCaptchaImage(std::nullopt);
  EXPECT_EQ(hall_->AskCaptcha(6).img_data().substr(1, 3), "PNG");
}

}  // namespace
}  // namespace testgate
