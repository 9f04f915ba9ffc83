// The applier's exit codes and the texts of its message boxes.
#pragma once

namespace brimsett {

// Exit codes, read back by the caller as signed values.
inline constexpr int kExitDone = 0;
inline constexpr int kExitBadArguments = -1;
// Done, but at least one file in use was renamed aside and is removed at the next run.
inline constexpr int kExitRestartPending = -2;
inline constexpr int kExitFailed = -3;

inline constexpr char kCaption[] = "更新";
inline constexpr char kBadArguments[] = "参数无效";
inline constexpr char kCannotLoadNewList[] = "载入更新清单文件失败";
inline constexpr char kCannotCreateFolder[] = "无法新建文件夹";
inline constexpr char kCannotMoveFile[] = "无法移动文件";
inline constexpr char kMoveTo[] = "至";
inline constexpr char kCannotDeleteFile[] = "无法删除文件";
inline constexpr char kErrorCode[] = ", 错误代码=";
inline constexpr char kAskIgnore[] = "\n\n 是否忽略?";

// File names: the check-lists are kListPrefix + name + kListSuffix, the new one with
// kCacheSuffix after that, as every downloaded file.
inline constexpr char kListPrefix[] = "update";
inline constexpr char kListSuffix[] = ".cl";
inline constexpr char kCacheSuffix[] = ".cache";
// The download engine's resume record, in the current folder; done with once installed.
inline constexpr char kResumeRecord[] = "updatecl.txt";

}  // namespace brimsett
