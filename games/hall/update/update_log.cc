#include "games/hall/update/update_log.h"

#include <ctime>

#include "games/hall/text/utf.h"
#include "platform/file_util.h"

namespace hall {
namespace {

void AppendUtf16Le(std::u16string_view text, std::string* out) {
  for (char16_t unit : text) {
    *out += static_cast<char>(unit & 0xFF);
    *out += static_cast<char>(unit >> 8);
  }
}

// C0 and C1 controls, DEL, and the line and paragraph separators: viewers show NEL (U+0085),
// U+2028 and U+2029 as line breaks just as they do CR and LF.
bool IsControlOrBreak(char16_t unit) {
  return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029;
}

}  // namespace

UpdateLog::UpdateLog(std::string folder, platform::FileSystem& fs, platform::Clock& clock)
    : path_(platform::JoinPath(folder, kUpdateLogName)), fs_(fs), clock_(clock) {}

void UpdateLog::Write(std::string_view text) const {
  int error = 0;
  std::unique_ptr<platform::WritableFile> file = fs_.OpenForAppend(path_, &error);
  if (file == nullptr)
    return;

  std::string bytes;
  if (file->Size() == 0)
    bytes = "\xFF\xFE";
  const std::tm local = clock_.LocalTime(clock_.WallSeconds());
  char stamp[32];
  const size_t stamp_length = std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
  AppendUtf16Le(Utf8ToUtf16(std::string_view(stamp, stamp_length)), &bytes);

  // Texts carry what the server sent: a line break or other control in them must not start a
  // line of its own that reads like another event.
  std::u16string utf16 = Utf8ToUtf16(text);
  for (char16_t& unit : utf16) {
    if (IsControlOrBreak(unit))
      unit = u'?';
  }
  char16_t line[kUpdateLogMaxUnits + 1];
  const size_t units = CopyUtf16(utf16, line, sizeof(line) / sizeof(line[0]));
  AppendUtf16Le(std::u16string_view(line, units), &bytes);
  AppendUtf16Le(u"\r\n", &bytes);
  file->Append(bytes);
  file->Close(false);
}

void WriteUpdateLog(std::string_view text) {
  UpdateLog(".", platform::RealFileSystem(), platform::SystemClock()).Write(text);
}

}  // namespace hall
