// How names and values appear inside the engine's error messages: cut to a length a person
// reads at a glance, so that a 50 MB field never turns into a 50 MB message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor {

// The most characters of a name or value a message quotes.
inline constexpr size_t MessageQuoteChars = 60;

// `text` as it is when it has at most MessageQuoteChars characters (code points of UTF-8),
// else its first MessageQuoteChars characters followed by "...".
std::string clipForMessage(std::string_view text);

// `n` with its digits grouped by thousands ("1,048,576").
std::string withThousands(int64_t n);

// The system's reason for error number `error`, in words a user acts on ("the disk is full").
std::string systemReason(int error);

}  // namespace tabulor
