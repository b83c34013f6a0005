// The shared string table of an .xlsx workbook, held in memory as one buffer of texts with
// their offsets: cells refer to strings by position anywhere in any sheet, so the table is
// the one part the format forces a reader to keep whole (its size is that of the distinct
// texts, not of the sheets).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::xlsx {

class SharedStrings {
 public:
  size_t size() const { return ends_.size(); }
  std::string_view at(size_t index) const {
    size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(buffer_).substr(begin, ends_[index] - begin);
  }
  void add(std::string_view text) {
    buffer_.append(text);
    ends_.push_back(buffer_.size());
  }

 private:
  std::string buffer_;
  std::vector<uint64_t> ends_;
};

// Reads the table from `partPath` ("" or a missing part: an empty table). Rich text runs
// are joined; phonetic runs (furigana) are left out, as Excel shows them apart. Throws
// EngineError(BadInput) for a damaged part.
SharedStrings readSharedStrings(const workbook::ZipPackage& package, const std::string& partPath);

}  // namespace tabulor::xlsx
