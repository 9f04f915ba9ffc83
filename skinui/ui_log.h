// Where the window library reports skin problems (a control class it cannot make, a skin file it
// cannot read, a control the program looked for and did not find). Skins come with the
// self-update, so these are reported, never fatal. Lines go to stderr until a sink is set.
#pragma once

#include <functional>
#include <string>

namespace skinui {

using UiLogSink = std::function<void(const std::string& line)>;

// Replaces the sink (an empty function restores stderr). Window thread only.
void SetUiLogSink(UiLogSink sink);
void UiLog(const std::string& line);

}  // namespace skinui
