// Sheet names as Excel accepts them: 1 to 31 characters, none of [ ] : * ? / \, not
// beginning or ending with an apostrophe, not "History", unique without regard to case.
#pragma once

#include <string>
#include <vector>

namespace tabulor::excel {

inline constexpr size_t MaxSheetNameUnits = 31;

// `name` mended to those rules: forbidden characters (and control characters) become "_",
// an empty name becomes "Sheet", a long one is cut to `maxUnits` UTF-16 units, and a name
// taken by one of `existing` gets "_2", "_3", ... (cut further to stay within the length).
std::string mendSheetName(const std::string& name, const std::vector<std::string>& existing,
                          size_t maxUnits = MaxSheetNameUnits);

}  // namespace tabulor::excel
