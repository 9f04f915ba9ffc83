#include "gateclient/client_frame/payload_cipher.h"

#include <vector>

namespace qvc {

std::shared_ptr<const Blowfish> MakePayloadCipher(const std::string& key_material) {
  if (key_material.empty()) return nullptr;
  auto cipher = std::make_shared<Blowfish>();
  cipher->SetKey(reinterpret_cast<const uint8_t*>(key_material.data()), key_material.size());
  return cipher;
}

std::string EncryptPayload(const Blowfish& cipher, const std::string& payload) {
  const std::vector<uint8_t> out = cipher.Encrypt(std::vector<uint8_t>(payload.begin(), payload.end()));
  return std::string(out.begin(), out.end());
}

std::string DecryptPayload(const Blowfish& cipher, const std::string& payload) {
  const std::vector<uint8_t> out = cipher.Decrypt(std::vector<uint8_t>(payload.begin(), payload.end()));
  return std::string(out.begin(), out.end());
}

std::shared_ptr<const LinkSnapshot> GateLink::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

void GateLink::Connected(uint64_t connid) {
  LinkSnapshot s;
  s.connid = connid;
  Set(std::move(s));
}

void GateLink::HelloDone(uint64_t connid, std::shared_ptr<const Blowfish> cipher) {
  LinkSnapshot s;
  s.connid = connid;
  s.hello_done = true;
  s.cipher = std::move(cipher);
  Set(std::move(s));
}

void GateLink::Closed() { Set(LinkSnapshot{}); }

void GateLink::Set(LinkSnapshot snapshot) {
  auto next = std::make_shared<const LinkSnapshot>(std::move(snapshot));
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = std::move(next);
}

}  // namespace qvc
