// The send path's view of the gate link: which connection is current, whether its hello is done
// and the payload cipher keyed by that hello. Senders on any thread take one immutable snapshot,
// so a frame never mixes a connection with another connection's key.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "gateclient/crypto/blowfish.h"

namespace qvc {

struct LinkSnapshot {
  uint64_t connid = 0;                     // 0: no connection
  bool hello_done = false;                 // the gate's hello reply arrived on this connection
  std::shared_ptr<const Blowfish> cipher;  // null: payloads travel unchanged
};

// A Blowfish schedule keyed with `key_material`.
std::shared_ptr<const Blowfish> MakePayloadCipher(const std::string& key_material);

// Enciphers / deciphers a payload with `cipher` (padding as the cipher does it).
std::string EncryptPayload(const Blowfish& cipher, const std::string& payload);
std::string DecryptPayload(const Blowfish& cipher, const std::string& payload);

// The current snapshot; replaced whole by the job thread, read by every sender.
class GateLink {
 public:
  std::shared_ptr<const LinkSnapshot> Get() const;
  // A new connection: no key, hello pending.
  void Connected(uint64_t connid);
  // The hello reply: from now on `cipher` (may be null) for connection `connid`.
  void HelloDone(uint64_t connid, std::shared_ptr<const Blowfish> cipher);
  // No connection: the key is gone with it.
  void Closed();

 private:
  void Set(LinkSnapshot snapshot);

  mutable std::mutex mutex_;  // held only to read or replace the pointer
  std::shared_ptr<const LinkSnapshot> current_ = std::make_shared<LinkSnapshot>();
};

}  // namespace qvc
