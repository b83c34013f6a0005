// The statement forms the engine runs:
//   SELECT * INTO [<isam>;DATABASE=<path>].[<table>] FROM [<source table>]
// Inside brackets "]" is written "]]". Keywords are matched without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace tabulor {

struct SelectInto {
  std::string isam;      // the part of the connect string before the first ";"
  std::string database;  // the DATABASE= value
  std::string targetTable;
  std::string sourceTable;
};

// Parses a statement; throws EngineError(Syntax) naming what was expected where.
SelectInto parseSelectInto(std::string_view statement);

// Puts a name between brackets, doubling every "]".
std::string bracketed(std::string_view name);

// Value of key `key` (case-insensitive) in a connect string "isam;KEY=value;..."; "" if absent.
std::string connectValue(std::string_view connect, std::string_view key);

// The ISAM name of a connect string: text before the first ";", blanks trimmed.
std::string connectIsam(std::string_view connect);

}  // namespace tabulor
