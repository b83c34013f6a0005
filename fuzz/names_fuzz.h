// One fuzz input through the functions that turn outside text (table, sheet and file names,
// output folders, statements) into names and paths, checking what each of them promises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

// data[0] picks the target format and the source kind; the rest is split at NUL bytes into
// an output folder, a source path, a table name and further names. Every parse of
// arbitrary text must end in a result or an EngineError; a statement built from the names
// must parse back to them; every file name made from them must stay one name in its
// folder, and every sheet name must follow the workbook's rules. Returns false, with
// `failure` saying which promise broke, when one does.
bool fuzzNamesOne(const uint8_t* data, size_t size, std::string* failure);

}  // namespace tabulor
