#include "gateclient/config/ini_text_check.h"

#include "games/hall/text/printable.h"
#include "gateclient/config/ini_file.h"

namespace ini_check {

std::string CheckIniRoundTrip(std::string_view text) {
  CIniFile first;
  first.ParseText(text);
  const std::string saved = first.FormatText();
  CIniFile second;
  second.ParseText(saved);
  const std::string saved_again = second.FormatText();
  if (second.SectionCount() != first.SectionCount() || saved_again != saved) {
    return "saved as \"" + hall::Printable(saved) + "\" it reads back as \"" +
           hall::Printable(saved_again) + "\"";
  }
  return {};
}

}  // namespace ini_check
