#include "games/hall/update/resume_record.h"

#include <charconv>
#include <memory>

#include "platform/file_util.h"

namespace hall {
namespace {

// Reads one decimal line of `text` from `*pos` into `value`; false when it is not one.
template <typename T>
bool ReadLine(std::string_view text, size_t* pos, T* value) {
  const size_t end = text.find('\n', *pos);
  if (end == std::string_view::npos)
    return false;
  std::string_view line = text.substr(*pos, end - *pos);
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  const auto [ptr, error] = std::from_chars(line.data(), line.data() + line.size(), *value);
  if (error != std::errc() || ptr != line.data() + line.size())
    return false;
  *pos = end + 1;
  return true;
}

}  // namespace

std::string FormatResumeRecord(const ResumeRecord& record) {
  const auto time = static_cast<uint64_t>(record.list_time);
  return std::to_string(record.total) + "\n" + std::to_string(time >> 32) + "\n" +
         std::to_string(time & 0xFFFFFFFFu) + "\n" + std::to_string(record.completed) + "\n" +
         record.path;
}

std::optional<ResumeRecord> ParseResumeRecord(std::string_view text) {
  ResumeRecord record;
  uint32_t high = 0, low = 0;
  size_t pos = 0;
  if (!ReadLine(text, &pos, &record.total) || !ReadLine(text, &pos, &high) ||
      !ReadLine(text, &pos, &low) || !ReadLine(text, &pos, &record.completed)) {
    return std::nullopt;
  }
  std::string_view path = text.substr(pos);
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
    path.remove_suffix(1);
  if (path.empty())
    return std::nullopt;
  record.list_time = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
  record.path = std::string(path);
  return record;
}

bool ResumeRecordFitsRun(const ResumeRecord& record, int64_t total) {
  return record.completed >= 0 && record.completed <= total;
}

std::optional<ResumeRecord> ReadResumeRecord(platform::FileSystem& fs, const std::string& folder) {
  std::string text;
  if (!fs.ReadFile(platform::JoinPath(folder, kResumeRecordName), &text))
    return std::nullopt;
  return ParseResumeRecord(text);
}

bool WriteResumeRecord(platform::FileSystem& fs, const std::string& folder,
                       const ResumeRecord& record) {
  // Replaced by a rename, so a reader never sees half a record.
  const std::string path = platform::JoinPath(folder, kResumeRecordName);
  const std::string temporary = path + ".tmp";
  int error = 0;
  std::unique_ptr<platform::WritableFile> file = fs.CreateFile(temporary, &error);
  if (file == nullptr)
    return false;
  if (!file->Append(FormatResumeRecord(record)) || !file->Close(false) ||
      !fs.Rename(temporary, path)) {
    fs.RemoveFile(temporary);
    return false;
  }
  return true;
}

ResumeRecordWriter::ResumeRecordWriter(platform::FileSystem& fs, std::string folder)
    : fs_(fs), folder_(std::move(folder)) {}

bool ResumeRecordWriter::Write(const ResumeRecord& record) {
  if (!tried_in_place_) {
    tried_in_place_ = true;
    int error = 0;
    file_ = fs_.OpenForOverwrite(platform::JoinPath(folder_, kResumeRecordName), &error);
  }
  if (file_ != nullptr) {
    std::string text = FormatResumeRecord(record);
    if (static_cast<int64_t>(text.size()) < file_->Size())
      text.resize(static_cast<size_t>(file_->Size()), '\n');
    if (file_->Overwrite(text))
      return true;
    file_.reset();  // the rest of the run writes whole files
  }
  return WriteResumeRecord(fs_, folder_, record);
}

}  // namespace hall
