// Bytes as lower-case hexadecimal text.
#pragma once

#include <string>

// Two lower-case hexadecimal digits per byte, in order.
std::string ToHexString(const std::string& bytes);
