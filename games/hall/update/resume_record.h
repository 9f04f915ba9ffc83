// The resume record "updatecl.txt": after each completed file the engine writes how far the run
// got, so that an interrupted run for the same server list continues after that file. The applier
// deletes it once the update is installed. Text, five fields:
//   total bytes of the run\n  list time high 32 bits\n  low 32 bits\n  bytes completed\n  path
// The path (the completed file's list path) runs to the end of the file, so it may hold blanks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace hall {

inline constexpr std::string_view kResumeRecordName = "updatecl.txt";

struct ResumeRecord {
  int64_t total = 0;
  int64_t list_time = 0;  // file time of the server's check-list
  int64_t completed = 0;  // bytes done, including the file named by `path`
  std::string path;

  bool operator==(const ResumeRecord&) const = default;
};

std::string FormatResumeRecord(const ResumeRecord& record);
// Nothing when the text is not a whole record (a missing field, a non-number, no path).
std::optional<ResumeRecord> ParseResumeRecord(std::string_view text);

// True when `record` can continue a run of `total` bytes: its completed count lies within
// 0..total. A record damaged or written by hand may hold any numbers, and counting on from one
// outside the run would overflow the progress and report more than the run holds.
bool ResumeRecordFitsRun(const ResumeRecord& record, int64_t total);

// `folder`/updatecl.txt.
std::optional<ResumeRecord> ReadResumeRecord(platform::FileSystem& fs, const std::string& folder);
bool WriteResumeRecord(platform::FileSystem& fs, const std::string& folder,
                       const ResumeRecord& record);

}  // namespace hall
