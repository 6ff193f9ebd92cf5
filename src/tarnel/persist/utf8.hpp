#pragma once
// UTF-8 validation shared by the decoders and the string reader.
#include <optional>
#include <string>
#include <string_view>

namespace tarnel::persist {

// Empty when `bytes` is valid UTF-8, else the reason:
//   "invalid utf-8 sequence of 1 bytes from index 0"
//   "incomplete utf-8 byte sequence from index 3"
std::optional<std::string> utf8_error(std::string_view bytes);

}  // namespace tarnel::persist
