#include "gateclient/client_frame/program_frame.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "gateclient/log/log_sink_list.h"

namespace qvc {
namespace {

// Serialises making and destroying the frame; readers take the atomic pointer alone.
std::mutex& LifeMutex() {
  static std::mutex mutex;
  return mutex;
}
std::unique_ptr<ClientFrame>& OwnedFrame() {  // guarded by LifeMutex()
  static std::unique_ptr<ClientFrame> frame;
  return frame;
}
std::atomic<ClientFrame*> g_frame{nullptr};

}  // namespace

bool StartClientFrame(ClientFrameOptions options,
                      const std::function<void(ClientFrame&)>& prepare) {
  std::lock_guard<std::mutex> lock(LifeMutex());
  RegisterLogSink();
  if (OwnedFrame() != nullptr)
    return false;
  OwnedFrame() = std::make_unique<ClientFrame>(std::move(options));
  ClientFrame& frame = *OwnedFrame();
  g_frame.store(&frame);
  if (prepare)
    prepare(frame);
  return frame.Start();
}

ClientFrame* ProgramClientFrame() {
  return g_frame.load();
}

void DestroyClientFrame() {
  std::unique_ptr<ClientFrame> frame;
  {
    std::lock_guard<std::mutex> lock(LifeMutex());
    g_frame.store(nullptr);
    frame = std::move(OwnedFrame());
  }
  // Stopped and destroyed outside the lock, so a slow stop holds up no one else.
  frame.reset();
}

}  // namespace qvc
