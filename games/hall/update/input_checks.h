// Properties that must hold for whatever an update server sends (and for the resume record the
// engine reads back), each as one function that returns what was violated, empty when all hold.
// The fuzzers call them on generated inputs and the corpus replay test on the kept inputs.
#pragma once

#include <string>
#include <string_view>

namespace hall {

// A list path through ListPathToRelative: a path it accepts maps to a relative path that stays
// inside any base folder (no absolute start, no drive letter, no "." or ".." part, no control
// byte, '/' separated, nothing else changed); a path it refuses breaks one of those rules and
// leaves the output untouched.
std::string CheckListPath(std::string_view list_path);

// A check-list text: it parses the same twice; every entry is keyed by its own non-empty path,
// its size lies in the 32-bit range the list stores, its path obeys CheckListPath, and the
// comparison with itself finds nothing to fetch while the one with an empty list fetches all.
std::string CheckListText(std::string_view text);

// The URL of a list file: `selector` picks the HTTP or FTP base; the escaped form of any text
// holds no blank, '=', raw '%' or byte above 0x7F and unescapes to the text; the URL of an
// accepted list path parses with the base's scheme, host and folder, has no query or fragment,
// and its decoded path is the folder followed by the path as UTF-8.
std::string CheckListFileUrl(unsigned char selector, std::string_view list_path);

// Any bytes as a stored resume record: an accepted record has a path and completed bytes within
// its total, and writing it out reads back the same record.
std::string CheckResumeRecordText(std::string_view text);

// Any text as one update-log line: the log gains the byte-order mark and exactly one line, the
// time stamp and at most kUpdateLogMaxUnits units of text, with no line break (nor any control,
// NEL or line or paragraph separator) before its CR LF and no half of a surrogate pair at the cut.
std::string CheckUpdateLogLine(std::string_view text);

}  // namespace hall
