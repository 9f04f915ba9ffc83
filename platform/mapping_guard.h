// Keeps a peer that shares a mapping from ending this process by shrinking the object under it.
//
// Any process that may write a shared-memory object may also truncate it, and the next access
// to the lost part of the mapping raises SIGBUS. For a guarded range, the SIGBUS handler puts
// private zero-filled pages in place of the whole range instead: the access completes and reads
// zeros, which the code above checks like any other damage a peer can do, and the peer's later
// writes are no longer seen. A SIGBUS anywhere else goes on to the handler that was there before
// (or the default action).
#pragma once

#include <cstddef>

namespace platform {

// Guards [begin, begin + size). False when every slot is taken: the range stays unguarded.
bool GuardMapping(void* begin, size_t size);
// Ends the guard of the range that starts at `begin`. Call it before unmapping the range.
void UnguardMapping(void* begin);
// Whether the guard has put zero pages in place of the guarded range that starts at `begin`.
bool MappingWasReplaced(void* begin);

}  // namespace platform
