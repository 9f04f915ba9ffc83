// The hand-over from the gate client's threads to the main window's thread: every dispatched
// inner command and every trace text is posted to the main window as a NetResultRecord carried
// by the window message kWmNetResult. The window layer supplies the poster.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/base/cmd_base.h"

namespace qvc {

// WM_USER + 120: the main window's network-result message (wParam 0, lParam the record).
inline constexpr uint32_t kWmNetResult = 0x0400 + 120;
// Capacities of the trace conversion: UTF-16 units, then ANSI bytes, terminators included.
inline constexpr size_t kTraceWideCapacity = 4096;
inline constexpr size_t kTraceAnsiCapacity = 8192;

// Made by the poster, freed by FinishNetResult on the window thread.
struct NetResultRecord {
  qv::CMD_base* command = nullptr;  // holds one reference for the window
  uint64_t app_session = 0;         // att_sessionid of an inner command; 0 for texts
};

// The main window's end of the hand-over.
class NetResultPoster {
 public:
  virtual ~NetResultPoster() = default;
  // Queues `record` for the window thread as `message` (wParam 0, lParam the record). Must only
  // queue: it runs under the hand-over's lock. True when queued; on false the caller keeps the
  // record.
  virtual bool PostToMainWindow(uint32_t message, NetResultRecord* record) = 0;
};

// Sets the main window's poster; null clears it. When clearing returns, no post is in progress
// and none follows, so the window clears it before it is destroyed.
void SetMainWindowPoster(NetResultPoster* poster);
bool HasMainWindow();

// Hands `command` (which has a releaser) to the main window with one added reference. Without a
// main window nothing happens; a refused post takes the reference back and frees the record.
void PostNetResult(qv::CMD_base* command, uint64_t app_session);

// Posts `text` (UTF-8; null = empty) to the main window as a deferred-callback command carrying
// the text in the ANSI code page, cut at whole characters to 4095 UTF-16 units and 8191 bytes.
void PostTraceText(const char* text);

// Posts a deferred-callback command (kind 5) carrying a copy of `text`; the window's release
// frees it. Nothing leaks when there is no window or the post is refused.
void PostTextCommand(const char* text);

// The stored call of a text command: frees the text.
void DeleteTraceText(std::string* text);

// What the window thread does once it has handled a record: drops the window's reference and
// frees the record. Null is ignored.
void FinishNetResult(NetResultRecord* record);

}  // namespace qvc
