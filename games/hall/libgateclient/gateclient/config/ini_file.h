// An ini-style text file held wholly in memory: sections in file order, each with its keys, values
// and comment lines, plus the comments that stand before the first section.
//
// Names, values and comments are bytes taken from the file unchanged: no character set is applied
// when reading or writing, so UTF-8 keys in a UTF-8 file compare equal to the program's UTF-8
// literals. Lookups compare byte for byte and return the first match; section names may repeat.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CIniFile {
 public:
  explicit CIniFile(std::string file_name = {}) : file_name_(std::move(file_name)) {}
  virtual ~CIniFile() = default;

  // Replaces the file name; loads nothing.
  virtual void SetFileName(const std::string& path) { file_name_ = path; }
  // The value converted like C atoi; `fallback` when the section or key is missing. A present but
  // non-numeric or empty value gives 0.
  virtual int GetInt(const std::string& section, const std::string& key, int fallback) const;
  // True only when GetInt gives exactly 1.
  virtual bool GetBool(const std::string& section, const std::string& key, bool fallback) const;
  // The value converted like C atof; `fallback` when the section or key is missing.
  virtual double GetDouble(const std::string& section, const std::string& key,
                           double fallback) const;
  // Destroys the object. REQUIRES: made with `new`.
  virtual void Release() { delete this; }

  // Parses the named file into the tables, adding to what they hold. False when the file cannot
  // be read (the tables are then unchanged); true otherwise, also for an empty file.
  bool Load();
  // Replaces the named file with the tables' text, atomically (temporary file, then rename).
  // False when the file could not be written; the old file is then left as it was.
  bool Save() const;

  // Parses `text` as the content of a file, adding to the tables (what Load does after reading).
  void ParseText(std::string_view text);
  // The text Save writes.
  std::string FormatText() const;

  // The stored value, or `fallback` when the section or the key is missing. Names are not trimmed.
  std::string GetValue(const std::string& section, const std::string& key,
                       const std::string& fallback) const;
  // Stores `value` under `key` (trimmed) of the first section named `section`. A missing section
  // or key is appended when `create` is true; otherwise nothing changes and the result is false.
  bool SetValue(bool create, const std::string& section, const std::string& key,
                const std::string& value);
  // SetValue(true, ...) of the value written in decimal.
  bool SetInt(const std::string& section, const std::string& key, int value);

  void AddHeaderComment(const std::string& text) { header_comments_.push_back(text); }
  // Appends a comment to section `index`; false when out of range.
  bool AddCommentAt(int index, const std::string& text);
  // Appends a comment to the first section named `section`; false when there is none.
  bool AddComment(const std::string& section, const std::string& text);

  // Index of the first exact match, or -1.
  int FindSection(const std::string& name) const;
  int FindKey(int section, const std::string& name) const;
  // Appends a section (without looking for one of the same name); returns its index.
  int AddSection(const std::string& name);

  int SectionCount() const { return static_cast<int>(section_names_.size()); }
  const std::string& file_name() const { return file_name_; }

  // Removes spaces and tabs at both ends.
  static std::string Trim(std::string_view text);

 private:
  struct Section {
    std::vector<std::string> keys;
    std::vector<std::string> values;  // values[i] belongs to keys[i]
    std::vector<std::string> comments;
  };

  // The stored value, or null when the section or key is missing.
  const std::string* Find(const std::string& section, const std::string& key) const;
  void ParseLine(std::string_view line, std::string* current_section);

  std::string file_name_;
  std::vector<Section> sections_;
  std::vector<std::string> section_names_;  // same length as sections_
  std::vector<std::string> header_comments_;
};
