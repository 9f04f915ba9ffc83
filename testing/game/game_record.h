#pragma once

#include <string>
#include <vector>

// Reading the fake game's record file: one line per frame received, fields written as
// " name=value", byte fields as hex.
namespace fake_game {

// The lines of a record file's text.
std::vector<std::string> RecordLines(const std::string& text);

// The value of field `name` in a record line; empty when the line has no such field.
std::string RecordField(const std::string& line, const std::string& name);

// The bytes of a hex field.
std::string Unhex(const std::string& hex);

}  // namespace fake_game
