// The properties the skin fuzz target checks on any skin text, and the replay of its kept inputs in
// the ordinary build. Skins arrive with updates, so their text is untrusted.
#pragma once

#include <string>
#include <string_view>

namespace skin_check {

// Builds `text` (a skin given as text: it starts with '<') with the dialog builder on the headless
// backend, under a paint manager whose resource folder holds a few images and sits beside a folder
// that holds others; lays the tree out at the skin's own size and at a tiny and a large size,
// paints it, and hit-tests points inside and outside. The builder gives a tree or nothing, and
// then:
// - no image from outside the resource folder is read (whatever a skin names: "..", an absolute
//   path, a '\' path);
// - every image painted has a size within the backend's caps, and a source inside it;
// - no arithmetic of layout or painting overflows (the sanitizers of the build stop on it).
// Returns "" when that holds, else what broke.
std::string CheckSkin(std::string_view text);

}  // namespace skin_check
