// The XML of content.xml as the OpenDocument spreadsheet writer streams it: the fixed head
// with the cell styles for dates, date-times, times and booleans, then per table its rows,
// cells typed by their Variant, text in paragraphs with the spaces, tabs and line ends
// OpenDocument keeps; then the fixed foot. Text is built in a buffer that the caller drains.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace tabulor::ods {

// The head of content.xml up to the first table, and its foot after the last one. A file
// this writer made ends with exactly ContentFoot, which lets a later statement copy its
// tables and append another.
std::string contentHead();
inline constexpr std::string_view ContentFoot =
    "</office:spreadsheet></office:body></office:document-content>";

class ContentWriter {
 public:
  // What has been built and not yet taken.
  std::string& buffer() { return buffer_; }

  void beginTable(std::string_view name, size_t columns);
  void endTable();
  // A row of texts (the header row of field names).
  void textRow(const std::vector<std::string>& texts);
  void row(const std::vector<Variant>& values, size_t columns);

 private:
  void emptyCells(size_t count);
  void textCell(std::string_view text);
  void paragraphs(std::string_view text);
  void escaped(std::string_view text);

  std::string buffer_;
};

}  // namespace tabulor::ods
