#include "gateclient/base/cmd_base.h"

namespace qv {

void CommonDeleteHandler::Release() {
  // acq_rel: the thread that frees the command must see every write made under earlier references.
  if (count_.fetch_sub(1, std::memory_order_acq_rel) != 1)
    return;
  delete owner_;
  delete this;
}

bool CMD_base::ParseBody(const std::string& /*payload*/) {
  return false;
}

bool CMD_base::SerializeBody(std::string* /*out*/) {
  return false;
}

void AttachReleaser(CMD_base* command) {
  if (command->releaser != nullptr)
    return;
  command->releaser = new CommonDeleteHandler(command, 1);
}

void AddRefCommand(CMD_base* command) {
  if (command->releaser != nullptr)
    command->releaser->AddRef();
}

void ReleaseCommand(CMD_base* command) {
  if (command->releaser != nullptr)
    command->releaser->Release();
}

}  // namespace qv
