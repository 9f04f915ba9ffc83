#include "gateclient/config/ini_file.h"

#include <cstdlib>
#include <limits>

#include "platform/file_util.h"

namespace {

// C atoi without its undefined behaviour: out-of-range numbers saturate.
int ParseIntLikeAtoi(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long long magnitude = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit)
      magnitude = kLimit;
  }
  if (negative)
    return static_cast<int>(-magnitude);
  return magnitude >= kLimit ? std::numeric_limits<int>::max() : static_cast<int>(magnitude);
}

// A value ends at its last byte that is neither blank nor CR, since the value is the last thing on
// its line and a CR there would read as part of the line's end once written back.
std::string TrimValue(std::string_view text) {
  const auto last = text.find_last_not_of(" \t\r");
  return CIniFile::Trim(last == std::string_view::npos ? std::string_view()
                                                       : text.substr(0, last + 1));
}

}  // namespace

std::string CIniFile::Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

bool CIniFile::Load() {
  std::string bytes;
  if (!platform::ReadFile(file_name_, &bytes))
    return false;
  ParseText(bytes);
  return true;
}

void CIniFile::ParseText(std::string_view text) {
  std::string current_section;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    // Every CR before the LF belongs to the line's end: a CR left at the end of a value or a
    // comment would be lost once the text is written and read again.
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (!line.empty())
      ParseLine(line, &current_section);
  }
}

void CIniFile::ParseLine(std::string_view line, std::string* current_section) {
  // The first of these characters decides what the line is, wherever it stands.
  const auto at = line.find_first_of(";#[=");
  if (at == std::string_view::npos)
    return;
  switch (line[at]) {
    case ';':
    case '#': {
      const std::string comment(line.substr(at + 1));
      if (sections_.empty()) {
        AddHeaderComment(comment);
      } else {
        AddComment(*current_section, comment);
      }
      return;
    }
    case '[': {
      const auto close = line.rfind(']');
      if (close == std::string_view::npos || close < at)
        return;
      *current_section = Trim(line.substr(at + 1, close - at - 1));
      AddSection(*current_section);
      return;
    }
    default:  // '='
      SetValue(true, *current_section, Trim(line.substr(0, at)), TrimValue(line.substr(at + 1)));
      return;
  }
}

std::string CIniFile::FormatText() const {
  std::string out;
  for (const std::string& comment : header_comments_)
    out.append(";").append(comment).append("\n");
  if (!header_comments_.empty())
    out.append("\n");
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const Section& section = sections_[s];
    out.append("[").append(section_names_[s]).append("]\n");
    for (const std::string& comment : section.comments)
      out.append(";").append(comment).append("\n");
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      out.append(section.keys[k]).append("=").append(section.values[k]).append("\n");
    }
    out.append("\n");
  }
  return out;
}

bool CIniFile::Save() const {
  return platform::WriteFileAtomic(file_name_, FormatText());
}

const std::string* CIniFile::Find(const std::string& section, const std::string& key) const {
  const int s = FindSection(section);
  const int k = FindKey(s, key);
  if (k < 0)
    return nullptr;
  return &sections_[s].values[k];
}

std::string CIniFile::GetValue(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? *value : fallback;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int fallback) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? ParseIntLikeAtoi(*value) : fallback;
}

bool CIniFile::GetBool(const std::string& section, const std::string& key, bool fallback) const {
  return GetInt(section, key, fallback ? 1 : 0) == 1;
}

double CIniFile::GetDouble(const std::string& section, const std::string& key,
                           double fallback) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? std::strtod(value->c_str(), nullptr) : fallback;
}

bool CIniFile::SetValue(bool create, const std::string& section, const std::string& key,
                        const std::string& value) {
  const std::string name = Trim(key);
  int s = FindSection(section);
  if (s < 0) {
    if (!create)
      return false;
    s = AddSection(section);
  }
  Section& record = sections_[s];
  const int k = FindKey(s, name);
  if (k >= 0) {
    record.values[k] = value;
    return true;
  }
  if (!create)
    return false;
  record.keys.push_back(name);
  record.values.push_back(value);
  return true;
}

bool CIniFile::SetInt(const std::string& section, const std::string& key, int value) {
  return SetValue(true, section, key, std::to_string(value));
}

bool CIniFile::AddCommentAt(int index, const std::string& text) {
  if (index < 0 || index >= SectionCount())
    return false;
  sections_[index].comments.push_back(text);
  return true;
}

bool CIniFile::AddComment(const std::string& section, const std::string& text) {
  return AddCommentAt(FindSection(section), text);
}

int CIniFile::FindSection(const std::string& name) const {
  for (std::size_t i = 0; i < section_names_.size(); ++i) {
    if (section_names_[i] == name)
      return static_cast<int>(i);
  }
  return -1;
}

int CIniFile::FindKey(int section, const std::string& name) const {
  if (section < 0 || section >= SectionCount())
    return -1;
  const auto& keys = sections_[section].keys;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == name)
      return static_cast<int>(i);
  }
  return -1;
}

int CIniFile::AddSection(const std::string& name) {
  sections_.emplace_back();
  section_names_.push_back(name);
  return static_cast<int>(sections_.size()) - 1;
}
