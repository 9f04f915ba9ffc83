// The resume record "updatecl.txt": after each completed file the engine writes how far the run
// got, so that an interrupted run for the same server list continues after that file. The applier
// deletes it once the update is installed. Text, five fields:
//   total bytes of the run\n  list time high 32 bits\n  low 32 bits\n  bytes completed\n  path
// The path (the completed file's list path) runs to the end of the file, so it may hold blanks.
#pragma once

#include <cstdint>
#include <memory>
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
// Writes the record to a temporary file and renames it over the old one.
bool WriteResumeRecord(platform::FileSystem& fs, const std::string& folder,
                       const ResumeRecord& record);

// The records of one run, one after each completed file. A new file and a rename per record
// cost a new inode each and, on ext4, a forced write-out of every replacing rename: on a disk
// that made small files take twice as long. So where the file system allows it, the record file
// is opened once and written over in place, in one write that a killed process either made or
// not; a record shorter than the file is padded with line ends, which the reader drops. Else
// (or when that fails) each record goes through WriteResumeRecord.
//
// Not forced to disk either way: a sync per downloaded file would make every file wait for the
// write-back of all the others, and a record lost in a crash only means refetching files.
class ResumeRecordWriter {
 public:
  ResumeRecordWriter(platform::FileSystem& fs, std::string folder);
  bool Write(const ResumeRecord& record);

 private:
  platform::FileSystem& fs_;
  const std::string folder_;
  std::unique_ptr<platform::OverwritableFile> file_;
  bool tried_in_place_ = false;
};

}  // namespace hall
