// Text as SpreadsheetML stores it: characters XML cannot hold (control characters) are
// written "_xHHHH_", and a literal "_x" that would read as such an escape is itself escaped
// as "_x005F_".
#pragma once

#include <string>
#include <string_view>

namespace tabulor::xlsx {

// Decodes "_xHHHH_" escapes in place (UTF-16 code units; a surrogate pair may be two
// escapes). Text without "_x" is left as it is at no cost.
void decodeEscapes(std::string& text);

// The text with every "_xHHHH_" that is part of the text made literal ("_x005F_xHHHH_"),
// so that a reader decoding escapes gets the text back; control characters are left for
// the writer library, which escapes them itself.
std::string escapeLiteralEscapes(std::string_view text);

}  // namespace tabulor::xlsx
