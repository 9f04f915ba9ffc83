#include "gateclient/base/lambda_function.h"

namespace qv {

int32_t CMD_LambdaFunctionBase::Run() {
  const uint32_t now = clock_.TickCount();
  const uint32_t lateness = now - created_ - static_cast<uint32_t>(delay);
  RunIfNotRan();
  return static_cast<int32_t>(lateness);
}

void CMD_LambdaFunctionBase::RunIfNotRan() {
  if (ran_ != 0)
    return;
  ran_ = 1;
  InvokeStored();
}

}  // namespace qv
