// The layout of one delimited text file: delimiter, header line, character set. Taken
// from the folder's schema.ini section named after the file where there is one, else
// detected from the file's first lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulor {

struct TextLayout {
  char delimiter = ',';
  bool delimiterGiven = false;  // set by schema.ini; otherwise detected
  bool header = true;           // first record holds the field names
  std::string characterSet;     // schema.ini CharacterSet, "" when none
  bool fixedLength = false;     // Format=FixedLength, which this driver does not read
};

// The schema.ini entries for file `fileName` in `folder` (Format, ColNameHeader,
// CharacterSet); defaults where the file or the keys are absent.
TextLayout layoutFromSchemaIni(const std::string& folder, const std::string& fileName);

// The delimiter of Format=... ("TabDelimited" TAB, "CSVDelimited" ',', "Delimited(;)"
// ';'); nullopt for values that name no delimiter.
std::optional<char> delimiterFromFormat(std::string_view format);

// Picks ',', TAB or ';' for text whose first lines are `sample`: among the candidates that
// split the first record into more than one field, those that read the quoting as quoting
// (every quoted field ends at a delimiter or a line end, no quote stands inside an unquoted
// field) come first; of these, the one that gives the most of the first 20 records that
// same field count wins; ties go to ',' then TAB, single-column text to ','.
// `complete` says whether the sample holds the whole file (else its last line may be cut).
char detectDelimiter(std::string_view sample, bool complete);

// Field names from a header record: empty names and names repeated (without regard to
// case) become F1, F2, ... after their position; `count` names in all (the header may have
// fewer fields than the widest rows).
std::vector<std::string> fieldNamesFromHeader(const std::vector<std::string_view>& header,
                                              size_t count);

}  // namespace tabulor
