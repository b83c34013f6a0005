// The reading side of the OpenDocument spreadsheet driver: a spreadsheet opened as a database
// whose tables are its sheets, listed as the Excel 8.0 driver lists worksheets ("Sheet1$",
// "'My Sheet$'").
#pragma once

#include <memory>
#include <string>

#include "engine/driver.h"

namespace tabulor::ods {

// How content.xml is parsed: by the plain-XML reader where the part allows it, or always by
// libxml2 (for the tests and the fuzz target, which compare the two).
enum class XmlReading { PlainWherePossible, Libxml2Only };

// Opens the spreadsheet at `path` and lists its tables (one pass over content.xml that
// skips the cells). Throws EngineError naming the file.
std::unique_ptr<SourceDatabase> openOdsSource(const std::string& path,
                                              XmlReading reading = XmlReading::PlainWherePossible);
// The same for bytes in memory (the fuzz target).
std::unique_ptr<SourceDatabase> openOdsSourceFromMemory(
    std::string bytes, const std::string& name,
    XmlReading reading = XmlReading::PlainWherePossible);

}  // namespace tabulor::ods
