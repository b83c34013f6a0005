// The line protocol between tabulor and its spreadsheet-automation helper program. One request
// line, one reply line; fields separated by TAB, with "\\", "\t", "\n", "\r" escaped, so a
// sheet name or an error text can hold any character. Shared by the client in tabulor, the
// LibreOffice helper and the test suite's fake helper.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabulor::automation {

// Requests, in the order a successful conversion sends them (one application serves any
// number of workbooks, each from open to close):
//   create <code>                 start the application      -> ok | absent <why>
//   alerts off                    no questions (overwrite)   -> ok
//   open <openName> <ending>      open the workbook          -> ok
//   count                         number of sheets           -> ok <n>
//   name <i>                      name of sheet i (1-based)  -> ok <name>
//   values <i> [<row> <col> <value>]...
//                                 the workbook's stored results for sheet i (every sheet
//                                 gets one before the first save) -> ok <formula cells
//                                 left without a stored result>
//   save <i> <code> <staged> <shown>
//                                 write sheet i (39: all) into the new file <staged>;
//                                 messages name <shown>      -> ok <bytes written>
//   close                         close the workbook         -> ok
//   release                       end the application, exit  -> ok
// Any request may instead get: error <kind> <hex code> <description>.
// A stored value is its kind and its text: "n" and a number, "s" and a text, "b0" or "b1",
// "e" and the workbook's error code in decimal (7 for #DIV/0!).
inline constexpr std::string_view ReplyOk = "ok";
inline constexpr std::string_view ReplyAbsent = "absent";
inline constexpr std::string_view ReplyError = "error";

// Kinds of error reply. Bridge: the link to the application failed (it died, the pipe broke,
// a call timed out). Dispatch: the application raised an error with a code and a text.
// General: anything else.
inline constexpr std::string_view KindBridge = "bridge";
inline constexpr std::string_view KindDispatch = "dispatch";
inline constexpr std::string_view KindGeneral = "general";

// Codes of failures that have no code of the application's own.
inline constexpr uint32_t CodeCallFailed = 0x800706BE;  // the remote call failed
inline constexpr uint32_t CodeTimeout = 0x800705B4;     // no reply in time
inline constexpr uint32_t CodeNotExists = 0x30B;        // workbook not found
inline constexpr uint32_t CodeAccess = 0x507;           // cannot write there
inline constexpr uint32_t CodeGeneralIo = 0x20D;        // error without a code
inline constexpr uint32_t CodeDiskFull = 0x909;         // no space left for an output
inline constexpr uint32_t CodeCannotWrite = 0xC10;      // any other failed write

// Joins fields into one line (without the final "\n"), escaping each.
std::string encodeLine(const std::vector<std::string>& fields);
// Splits a line (without its "\n") into unescaped fields.
std::vector<std::string> decodeLine(std::string_view line);

std::string errorLine(std::string_view kind, uint32_t code, std::string_view description);

// Finds the workbook that an open name stands for: the open name followed by `ending` (the
// four characters the source path had) when that file exists, otherwise the one file in the
// same folder whose name is the open name's plus ".xls" in any letter case. Returns "" and
// sets `why` when there is none or more than one.
std::string resolveOpenName(const std::string& openName, const std::string& ending,
                            std::string* why);

}  // namespace tabulor::automation
