// The update download engine: compares a product's installed check-list with the server's and
// downloads every new or changed file into the product's cache folder as <path>.cache, leaving
// the new list there as update<name>.cl.cache for the applier to install. HTTP first, FTP as the
// fall-back; an interrupted run continues after the last completed file (see resume_record.h);
// every failure is one line in the update log (update_log.h).
//
// Hardening over a plain download loop: only a success status counts, range replies are checked,
// no file may be larger than its list declares, every list path is confined to the cache folder,
// files are staged (written without a name, or as "<path>.cache.part" where the file system
// cannot) and get their ".cache" name only when complete, and ".cache" files that do not belong
// to the current run are removed before it starts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "games/hall/update/download_session.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace hall {

inline constexpr int kUpdateReady = 0;       // files wait in the cache (or only the list changed)
inline constexpr int kUpdateFailed = -1;     // logged
inline constexpr int kUpdateUnchanged = -2;  // the server's list is the installed one

// The server's check-list, under each base URL.
inline constexpr std::string_view kServerListName = "update.cl";
// A check-list larger than this is refused (100,000 entries take about 8 MiB).
inline constexpr int64_t kMaxCheckListBytes = 64 << 20;
// Suffixes of a finished download and of one in progress (where it has a name).
inline constexpr std::string_view kCacheSuffix = ".cache";

// A downloaded file is installed as a program (runnable) when it begins as an ELF image or a
// script ("#!") does; the first bytes looked at.
inline constexpr size_t kProgramMagicBytes = 4;
bool IsProgramImage(std::string_view head);
inline constexpr std::string_view kPartSuffix = ".part";

struct UpdateTarget {
  std::string dir;        // install folder, holds update<name>.cl
  std::string http_base;  // ends with '/'
  std::string ftp_base;   // ends with '/'; empty when there is none
  std::string cache;      // the product's cache folder; must exist
  std::string name;       // product name ("Tarvix", or a game's engname)
};

// Progress of a run: the current file's name (after its last separator), bytes done in the run
// and the run's total. Called on the thread that runs the engine.
using ProgressSink =
    std::function<void(const std::string& file_name, uint64_t done, uint64_t total)>;

struct UpdateOptions {
  // Holds the resume record and the log ("updatecl.txt", "voupd.log").
  std::string work_folder = ".";
  platform::FileSystem* fs = nullptr;  // null: the real file system
  platform::Clock* clock = nullptr;    // null: the system clock (log time stamps)
  TransferLimits limits;
  // When set, the run stops at its next progress report with kUpdateFailed; what is complete
  // stays for the next run.
  const std::atomic<bool>* cancel = nullptr;
};

// One update run; kUpdateReady, kUpdateFailed or kUpdateUnchanged. REQUIRES: curl_global_init
// was called.
int RunUpdate(const UpdateTarget& target, const ProgressSink& sink,
              const UpdateOptions& options = {});

}  // namespace hall
