#include "games/hall/update/input_checks.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>

#include "games/hall/text/printable.h"
#include "games/hall/text/text_convert.h"
#include "games/hall/update/check_list.h"
#include "games/hall/update/list_diff.h"
#include "games/hall/update/resume_record.h"
#include "games/hall/update/update_log.h"
#include "games/hall/update/url.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace hall {
namespace {

using hall::Printable;

constexpr std::string_view kBase = "/update/product";
constexpr std::string_view kUrlHost = "updates.test";
constexpr std::string_view kUrlFolder = "/Tarvix/";

// Why a list path has to be refused, from the rules alone; empty when it is acceptable.
std::string RefusalReason(std::string_view path) {
  if (path.empty())
    return "empty";
  if (path.size() > kMaxListPathBytes)
    return "too long";
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size()) {
      const auto c = static_cast<unsigned char>(path[i]);
      if (c < 0x20 || c == 0x7F)
        return "control byte";
      if (c == ':')
        return "drive letter or stream";
      if (c != '\\' && c != '/')
        continue;
    }
    const std::string_view part = path.substr(start, i - start);
    if (part.empty())
      return "empty part (absolute or doubled separator)";
    if (part == "." || part == "..")
      return "dot part";
    start = i + 1;
  }
  return "";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;  // upper-case digits are not what the escape writes
}

// Undoes EscapeUrl; false when an escape is not '%' and two lower-case hex digits.
bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *out += text[i];
      continue;
    }
    if (i + 2 >= text.size())
      return false;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0)
      return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string CheckEscape(std::string_view text) {
  const std::string escaped = EscapeUrl(text);
  for (char ch : escaped) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ' || c == '=' || c >= 0x80)
      return "escaped text holds a raw blank, '=' or high byte: " + Printable(escaped);
  }
  std::string back;
  if (!Unescape(escaped, &back) || back != text)
    return "escaped text does not unescape to the text: " + Printable(escaped);
  const std::string text_copy(text);
  std::string buffer(3 * text_copy.size() + 1, '\x7F');
  if (!EscapeUrl(text_copy.c_str(), buffer.data()))
    return "buffer escape refused a text";
  // The buffer form stops at the first zero byte, as a C string does.
  if (std::string_view(buffer.c_str()) != EscapeUrl(std::string_view(text_copy.c_str())))
    return "buffer and string escapes differ";
  return "";
}

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags, bool* present) {
  char* value = nullptr;
  const CURLUcode code = curl_url_get(url, part, &value, flags);
  *present = code == CURLUE_OK && value != nullptr;
  std::string out = *present ? value : "";
  curl_free(value);
  return out;
}

// Holds the one file the update log appends to.
class MemoryLogFile : public platform::WritableFile {
 public:
  explicit MemoryLogFile(std::string* bytes) : bytes_(bytes) {}
  bool Append(std::string_view data) override {
    bytes_->append(data);
    return true;
  }
  int64_t Size() const override { return static_cast<int64_t>(bytes_->size()); }
  bool Close(bool) override { return true; }

 private:
  std::string* bytes_;
};

class MemoryLogFolder : public platform::FileSystem {
 public:
  std::string bytes;
  std::unique_ptr<platform::WritableFile> CreateFile(const std::string&, int* error) override {
    *error = EROFS;
    return nullptr;
  }
  std::unique_ptr<platform::WritableFile> OpenForAppend(const std::string&, int*) override {
    return std::make_unique<MemoryLogFile>(&bytes);
  }
  bool ReadFile(const std::string&, std::string*) override { return false; }
  bool WriteFileAtomic(const std::string&, std::string_view) override { return false; }
  bool Stat(const std::string&, platform::FileInfo*) override { return false; }
  bool SetModifiedTime(const std::string&, int64_t) override { return false; }
  bool Rename(const std::string&, const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool MakeDirectories(const std::string&) override { return false; }
  bool ListFiles(const std::string&, std::vector<std::string>*) override { return false; }
};

}  // namespace

std::string CheckListPath(std::string_view list_path) {
  std::string relative = "\x01untouched";
  const bool accepted = ListPathToRelative(list_path, &relative);
  const std::string reason = RefusalReason(list_path);
  if (!accepted) {
    if (relative != "\x01untouched")
      return "a refused path changed the output: " + Printable(list_path);
    if (reason.empty())
      return "a path within the rules was refused: " + Printable(list_path);
    return "";
  }
  if (!reason.empty())
    return "accepted a path with " + reason + ": " + Printable(list_path);
  if (relative.size() != list_path.size())
    return "the relative path changed length: " + Printable(relative);
  for (size_t i = 0; i < list_path.size(); ++i) {
    const char want = list_path[i] == '\\' ? '/' : list_path[i];
    if (relative[i] != want)
      return "the relative path is not the list path with '/': " + Printable(relative);
  }
  if (relative.front() == '/' || relative.find('\0') != std::string::npos)
    return "the relative path is absolute or holds a zero byte: " + Printable(relative);
  // Joined to a folder, the path must stay below it and need no folding of its own.
  const std::filesystem::path base{std::string(kBase)};
  const std::string joined = (base / relative).lexically_normal().generic_string();
  if (joined != std::string(kBase) + "/" + relative)
    return "the joined path leaves or folds the base: " + Printable(joined);
  return "";
}

std::string CheckListText(std::string_view text) {
  CheckList list, again;
  const bool parsed = ParseCheckList(text, list);
  if (ParseCheckList(text, again) != parsed || list.size() != again.size())
    return "the same text parsed differently twice";
  if (!parsed)
    return list.empty() ? "" : "a refused list kept entries";
  for (const auto& [key, entry] : list) {
    if (key != entry.path)
      return "an entry is keyed by another path: " + Printable(key);
    if (entry.path.empty())
      return "an entry with an empty path";
    if (entry.size < std::numeric_limits<int32_t>::min() ||
        entry.size > std::numeric_limits<int32_t>::max()) {
      return "a size outside the 32-bit range: " + std::to_string(entry.size);
    }
    const auto other = again.find(key);
    if (other == again.end() || other->second.size != entry.size ||
        other->second.ftime != entry.ftime) {
      return "the same text gave another entry for " + Printable(key);
    }
    if (std::string failure = CheckListPath(entry.path); !failure.empty())
      return failure;
  }
  if (!ChangedEntries(list, list).empty())
    return "a list compared with itself has changed entries";
  if (ChangedEntries(CheckList(), list).size() != list.size())
    return "against an empty list not every entry is fetched";
  return "";
}

std::string CheckListFileUrl(unsigned char selector, std::string_view list_path) {
  if (std::string failure = CheckEscape(list_path); !failure.empty())
    return failure;
  std::string relative;
  if (!ListPathToRelative(list_path, &relative))
    return "";  // never fetched
  const std::string scheme = (selector & 1) ? "ftp" : "http";
  const std::string base = scheme + "://" + std::string(kUrlHost) + std::string(kUrlFolder);
  const std::string url = ListFileUrl(base, list_path);
  for (char ch : url) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || ch == '\\')
      return "the URL holds a raw blank, control, high byte or '\\': " + Printable(url);
  }
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (parsed == nullptr)
    return "";  // out of memory: nothing to judge
  if (curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
      CURLUE_OK) {
    return "the URL does not parse: " + Printable(url);
  }
  bool present = false;
  if (UrlPart(parsed.get(), CURLUPART_SCHEME, 0, &present) != scheme ||
      UrlPart(parsed.get(), CURLUPART_HOST, 0, &present) != kUrlHost) {
    return "the URL names another scheme or host: " + Printable(url);
  }
  UrlPart(parsed.get(), CURLUPART_QUERY, 0, &present);
  if (present)
    return "part of the list path became a query: " + Printable(url);
  UrlPart(parsed.get(), CURLUPART_FRAGMENT, 0, &present);
  if (present)
    return "part of the list path became a fragment: " + Printable(url);
  const std::string raw_path = UrlPart(parsed.get(), CURLUPART_PATH, 0, &present);
  // An FTP path's ";type=" suffix would change the transfer instead of naming a file.
  if (scheme == "ftp" && raw_path.find(";type=") != std::string::npos)
    return "an FTP path with a transfer type: " + Printable(url);
  const std::string path = UrlPart(parsed.get(), CURLUPART_PATH, CURLU_URLDECODE, &present);
  const std::string expected = std::string(kUrlFolder) + AnsiToUtf8(relative);
  if (path != expected)
    return "the URL names another file: " + Printable(path) + " for " + Printable(expected);
  return "";
}

std::string CheckResumeRecordText(std::string_view text) {
  const std::optional<ResumeRecord> record = ParseResumeRecord(text);
  if (!record)
    return "";
  if (record->path.empty())
    return "a record without a path";
  // The engine counts on from a record that fits its run, adding up to the run's total again;
  // a run's total is a sum of 32-bit sizes over a list of bounded size.
  constexpr int64_t kLargestRunTotal = int64_t{1} << 57;
  const int64_t totals[] = {0, kLargestRunTotal,
                            std::clamp<int64_t>(record->total, 0, kLargestRunTotal)};
  for (int64_t total : totals) {
    if (ResumeRecordFitsRun(*record, total) &&
        (record->completed < 0 || record->completed > total)) {
      return "a record outside a run of " + std::to_string(total) +
             " bytes fits it: " + std::to_string(record->completed) + " completed";
    }
  }
  const std::optional<ResumeRecord> again = ParseResumeRecord(FormatResumeRecord(*record));
  if (!again || !(*again == *record))
    return "a written record reads back differently: " + Printable(FormatResumeRecord(*record));
  return "";
}

std::string CheckUpdateLogLine(std::string_view text) {
  constexpr size_t kStampUnits = 19;  // "%Y-%m-%d %H:%M:%S"
  MemoryLogFolder folder;
  platform::ManualClock clock(0, 1'700'000'000);
  UpdateLog(".", folder, clock).Write(text);
  const std::string& bytes = folder.bytes;
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0 || bytes.size() % 2 != 0)
    return "the log does not start with the byte-order mark or holds half a unit";
  std::u16string units;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  if (units.size() < kStampUnits + 2 || units.compare(units.size() - 2, 2, u"\r\n") != 0)
    return "the line does not end with CR LF";
  const std::u16string_view line =
      std::u16string_view(units).substr(kStampUnits, units.size() - kStampUnits - 2);
  if (line.size() > kUpdateLogMaxUnits)
    return "the line's text holds " + std::to_string(line.size()) + " units";
  // CR and LF, and what viewers also break lines at: the other controls, NEL and the separators.
  for (const char16_t unit : line) {
    if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029)
      return "the text starts another line: " + Printable(text);
  }
  if (!line.empty() && line.back() >= 0xD800 && line.back() < 0xDC00)
    return "the text was cut inside a surrogate pair";
  return "";
}

}  // namespace hall
