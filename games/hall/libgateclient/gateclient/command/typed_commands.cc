#include "gateclient/command/typed_commands.h"

#include <memory>

namespace qv {
namespace {

template <typename Command>
CMD_base* CreateParsed(const std::string& payload) {
  auto command = std::make_unique<Command>();
  if (!command->ParseBody(payload)) return nullptr;
  return command.release();
}

}  // namespace

#define GATECLIENT_DEFINE_CREATOR(kind, subid, package, name)  \
  CMD_base* Create##name##Command(const std::string& payload) { \
    return CreateParsed<Cmd##name>(payload);                    \
  }
GATECLIENT_FOR_EACH_COMMAND(GATECLIENT_DEFINE_CREATOR)
#undef GATECLIENT_DEFINE_CREATOR

}  // namespace qv
