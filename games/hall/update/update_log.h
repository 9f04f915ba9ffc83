// The update log "voupd.log": UTF-16LE text, one line per event, each the local time
// ("%Y-%m-%d %H:%M:%S") immediately followed by the text and CR LF; a new file starts with the
// byte-order mark FF FE. The file is held exclusively while a line is appended.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace hall {

inline constexpr std::string_view kUpdateLogName = "voupd.log";
// A line's text holds at most this many UTF-16 units (a surrogate pair is never split).
inline constexpr size_t kUpdateLogMaxUnits = 1023;

class UpdateLog {
 public:
  // Writes to `folder`/voupd.log. The file system and clock must outlive the log.
  UpdateLog(std::string folder, platform::FileSystem& fs, platform::Clock& clock);

  // Appends one line with the UTF-8 `text`, each control character (C0, DEL, C1) and each line or
  // paragraph separator in it written as '?'.
  // Nothing when the log cannot be opened.
  void Write(std::string_view text) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  platform::FileSystem& fs_;
  platform::Clock& clock_;
};

// One line in "voupd.log" of the current folder, stamped with the system clock.
void WriteUpdateLog(std::string_view text);

}  // namespace hall
