// The corpus checks show bytes as the hall's diagnostics do (games/hall/text/printable.h).
#pragma once

#include "games/hall/text/printable.h"

namespace testing_corpus {

using hall::Printable;

}  // namespace testing_corpus
