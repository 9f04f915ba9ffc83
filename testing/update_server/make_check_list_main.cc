// tarvix_make_check_list: writes the check-list of a folder for a local update server, or for an
// installed program folder.
//
//   tarvix_make_check_list <folder> [-o <list file>] [-f <file of paths>] [-x <path>]...
//
// The list goes to <folder>/update.cl unless -o names another file; a list inside the folder is
// never listed itself. -f names a text file of paths relative to the folder, one a line: only
// those files are listed (an installed program's own files). -x takes a path relative to the
// folder ('/' between parts): that file, or that folder with all it holds, is left out. Prints
// the number of files listed. Exit codes:
// 0 written, 1 a file cannot be listed or the list cannot be written, 2 bad arguments.
#include <cstdio>
#include <string>

#include "platform/file_util.h"
#include "testing/update_server/check_list_maker.h"

int main(int argc, char** argv) {
  std::string folder, list, only_file;
  update_server::CheckListOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      list = argv[++i];
    } else if (arg == "-f" && i + 1 < argc) {
      only_file = argv[++i];
    } else if (arg == "-x" && i + 1 < argc) {
      options.exclude.emplace_back(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
      folder = arg;
    } else {
      folder.clear();
      break;
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr,
                 "usage: %s <folder> [-o <list file>] [-f <file of paths>] [-x <path>]...\n",
                 argv[0]);
    return 2;
  }
  if (!only_file.empty()) {
    std::string text;
    if (!platform::ReadFile(only_file, &text)) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], only_file.c_str());
      return 1;
    }
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos)
        end = text.size();
      if (end > start)
        options.only.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    if (options.only.empty()) {
      std::fprintf(stderr, "%s: %s names no file\n", argv[0], only_file.c_str());
      return 1;
    }
  }
  if (list.empty())
    list = platform::JoinPath(folder, "update.cl");
  std::string error;
  const int count = update_server::WriteCheckListOf(folder, list, options, &error);
  if (count < 0) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }
  std::printf("%d files listed in %s\n", count, list.c_str());
  return 0;
}
