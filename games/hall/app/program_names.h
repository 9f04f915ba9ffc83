// Names the hall's files and its update share: the hall's product name in the update files
// ("update" + name + ".cl", cache/<name>, the update server's folder) and the applier's program
// beside the hall.
#pragma once

namespace hall {

inline constexpr char kHallProductName[] = "Tarvix";
inline constexpr char kApplierProgram[] = "brimsett";

}  // namespace hall
