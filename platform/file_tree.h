// Walking and removing folder trees without ever following a symbolic link, so that nothing
// outside the tree is listed, changed or removed through a link inside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Removes `path` with everything below it. A symbolic link (also `path` itself) is removed as a
// link; its target is left alone. True when nothing is left at `path` (also when nothing was
// there); otherwise false with *error set to the first failure's code when given.
bool RemoveTree(const std::string& path, int* error = nullptr);

// Every regular file below `folder`, as folder + "/" + relative path, names exactly as on disk,
// in sorted order. Symbolic links and other special entries are skipped and linked folders are
// not entered. A folder that cannot be read adds nothing.
std::vector<std::string> ListFilesBelow(const std::string& folder);

// True when some existing folder on the way from `root` to root/relative (the folders between
// them, not `root` itself and not the last part) is a symbolic link or not a folder at all, so
// that using the path could reach outside `root`. `relative` uses '/' between its parts.
bool PathLeavesRoot(const std::string& root, std::string_view relative);

}  // namespace platform
