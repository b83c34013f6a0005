// A small INI reader and writer for "schema.ini": sections in brackets, key=value lines,
// section and key names matched without regard to case, as the private-profile functions
// of the original platform do.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabulor {

// Sets `key` in `section` of the INI file at `path` to `value`: updates the key where it
// exists, otherwise appends it to the section, creating the section (at the end) and the
// file as needed. Returns false when the file cannot be read or written.
bool writePrivateProfileString(const std::string& path, std::string_view section,
                               std::string_view key, std::string_view value);

// The value of `key` in `section`, blanks around it trimmed; nullopt when absent or when
// the file cannot be read.
std::optional<std::string> readProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);

}  // namespace tabulor
