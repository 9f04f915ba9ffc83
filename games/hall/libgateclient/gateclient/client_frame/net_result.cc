#include "gateclient/client_frame/net_result.h"

#include <cstring>
#include <mutex>
#include <string_view>

#include "gateclient/base/lambda_function.h"
#include "games/hall/text/text_convert.h"
#include "games/hall/text/utf.h"

namespace qvc {
namespace {

// Guards the poster; held while a post is queued so that clearing waits for posts in progress.
std::mutex& PosterMutex() {
  static std::mutex mutex;
  return mutex;
}
NetResultPoster* g_poster = nullptr;  // guarded by PosterMutex()

// Posts a record for `command`, whose window reference the caller already took. The reference
// and the record are dropped when nothing takes them.
void PostRecord(qv::CMD_base* command, uint64_t app_session) {
  auto* record = new NetResultRecord{command, app_session};
  {
    std::lock_guard<std::mutex> lock(PosterMutex());
    if (g_poster != nullptr && g_poster->PostToMainWindow(kWmNetResult, record)) return;
  }
  FinishNetResult(record);
}

}  // namespace

void SetMainWindowPoster(NetResultPoster* poster) {
  std::lock_guard<std::mutex> lock(PosterMutex());
  g_poster = poster;
}

bool HasMainWindow() {
  std::lock_guard<std::mutex> lock(PosterMutex());
  return g_poster != nullptr;
}

void PostNetResult(qv::CMD_base* command, uint64_t app_session) {
  if (command == nullptr || !HasMainWindow()) return;
  qv::AddRefCommand(command);
  PostRecord(command, app_session);
}

void PostTraceText(const char* text) {
  char16_t wide[kTraceWideCapacity];
  std::u16string decoded = hall::Utf8ToUtf16(text == nullptr ? "" : text);
  hall::CopyUtf16(decoded, wide, kTraceWideCapacity);
  if (!HasMainWindow()) return;
  // Heap buffer: 8 KiB is too much for the stacks of every thread that traces.
  std::string ansi(kTraceAnsiCapacity, '\0');
  hall::WideToAnsi(wide, ansi.data(), ansi.size());
  PostTextCommand(ansi.c_str());
}

void PostTextCommand(const char* text) {
  auto* copy = new std::string(text == nullptr ? "" : text);
  // The constructor's reference is the window's. The text also stands in the payload, where the
  // window (which never runs the call) can read it.
  auto* command = new qv::CMD_LambdaFunction<std::string*>(&DeleteTraceText, 0, copy);
  command->payload = *copy;
  PostRecord(command, 0);
}

void DeleteTraceText(std::string* text) { delete text; }

void FinishNetResult(NetResultRecord* record) {
  if (record == nullptr) return;
  qv::ReleaseCommand(record->command);
  delete record;
}

}  // namespace qvc
