// Text of Lotus 1-2-3 labels: LMBCS, the Lotus Multi-Byte Character Set. Group 1 (code
// page 850) is the default single-byte set; any other character of the Basic Multilingual
// Plane is written as the group byte 0x14 followed by its UTF-16 code unit, big-endian.
#pragma once

#include <string>
#include <string_view>

namespace tabulor::lotus {

// Appends the LMBCS bytes of UTF-8 `text` to `out`. Returns false, with `bad` set to the
// first character that LMBCS cannot hold (NUL, private-use characters, characters beyond
// U+FFFF), leaving `out` partly filled.
bool appendLmbcs(std::string_view text, std::string& out, char32_t& bad);

}  // namespace tabulor::lotus
