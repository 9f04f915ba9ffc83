// The comparison of an installed check-list with the server's: which entries must be fetched.
#pragma once

#include <vector>

#include "games/hall/update/check_list.h"

namespace hall {

// Every entry of `server`, in path order, that `installed` lacks or lists with another size or
// time. One merge walk over both ordered maps.
std::vector<const CheckListEntry*> ChangedEntries(const CheckList& installed,
                                                  const CheckList& server);

}  // namespace hall
