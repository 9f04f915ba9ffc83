#include "gateclient/command/factories.h"

#include "gateclient/command/typed_commands.h"
#include "interface/command_ids.h"

namespace qv {
namespace {

// The creator of (kind, subid), or null when that pair has no command class.
CommandCreator FindCreator(uint16_t kind, uint16_t subid) {
#define GATECLIENT_MATCH_CREATOR(k, s, package, name) \
  if (kind == (k) && subid == (s)) return &Create##name##Command;
  GATECLIENT_FOR_EACH_COMMAND(GATECLIENT_MATCH_CREATOR)
#undef GATECLIENT_MATCH_CREATOR
  return nullptr;
}

CMD_base* CreateOfKind(uint16_t wanted, uint16_t kind, uint16_t subid, const std::string& payload) {
  if (kind != wanted) return nullptr;
  const CommandCreator creator = FindCreator(kind, subid);
  return creator == nullptr ? nullptr : creator(payload);
}

}  // namespace

CMD_base* CreateClientCommand(uint16_t kind, uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindClient, kind, subid, payload);
}
CMD_base* CreateMatchClientCommand(uint16_t kind, uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindMatchClient, kind, subid, payload);
}
CMD_base* CreateHallClientCommand(uint16_t kind, uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindHallClient, kind, subid, payload);
}
CMD_base* CreateUserInfoCommand(uint16_t kind, uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindUserInfo, kind, subid, payload);
}
CMD_base* CreateCaptchaCommand(uint16_t kind, uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindCaptcha, kind, subid, payload);
}

CMD_base* CreateGateCommand(uint16_t subid, const std::string& payload) {
  return CreateOfKind(cmd::kKindGate, cmd::kKindGate, subid, payload);
}

bool HasCommandClass(uint16_t kind, uint16_t subid) { return FindCreator(kind, subid) != nullptr; }

}  // namespace qv
