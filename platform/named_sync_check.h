// The property the named-sync fuzzer checks on any script, and the replay of its kept inputs in
// the ordinary build. A game process can write every byte of the mutex and event segments it
// shares with the hall, and can truncate them.
#pragma once

#include <string>
#include <string_view>

namespace sync_check {

// `script` is a list of steps, one byte each (some with a value after them): write any value into
// any field of the mutex's or the event's segment (as the game can), name a live thread, a dead
// one or this one as the owner, truncate a segment, and call Lock, Unlock, Wait, Set and Reset
// with short time-outs, or attach to the segment again. With nothing else running, each call
// must give what the segment's words at the time say:
// - Lock takes a free word (kSignaled) or one naming a thread that does not exist (kAbandoned),
//   and then the word names the caller; a word naming a live thread, the caller included, times
//   out and stays as it was;
// - Unlock frees the word (true) exactly when it names the caller, and leaves it alone otherwise;
// - Wait gives kSignaled on a set state (clearing it unless the segment says manual reset) and
//   kTimeout on a clear one; Set and Reset leave the state set and clear;
// - attaching again succeeds exactly when the segment carries the ready mark and its kind;
// - no call takes much longer than its time-out, and a truncated segment reads as zeros.
// Returns "" when that holds, else what broke.
std::string CheckNamedSync(std::string_view script);

}  // namespace sync_check
