// A fresh folder under the temporary directory for one test or one server, removed with all its
// contents when the object goes.
#pragma once

#include <string>
#include <string_view>

namespace update_server {

class TempFolder {
 public:
  // Creates "<TMPDIR or /tmp>/<prefix>.XXXXXX". path() is empty when that failed.
  explicit TempFolder(std::string_view prefix = "tarvix");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string Sub(std::string_view relative) const;

 private:
  std::string path_;
};

// Writes `contents` to root/relative (creating its folders) and, when `mtime_seconds` is not
// negative, sets its last-write time. False on any failure.
bool PutFile(const std::string& root, std::string_view relative, std::string_view contents,
             int64_t mtime_seconds = -1);

}  // namespace update_server
