// A quick first pass over an XML part that looks at its tags alone: text is skipped with
// memchr, comments, CDATA sections and processing instructions are passed by whole, and
// each start or end tag goes to a handler as its raw text. It reads no values and builds no
// nodes, so it costs little more than inflating the part. The xlsx and ods readers use it
// to find the bounding box of a sheet's values before the streaming XML reader reads the
// cells once. Malformed XML is left to that reader, which refuses it.
#pragma once

#include <string>
#include <string_view>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

class TagScanner {
 public:
  virtual ~TagScanner() = default;
  // Reads `part` to its end, calling onTag for every tag. Throws EngineError(BadInput)
  // naming `where` when the part cannot be inflated or has a document type declaration
  // (refused as the XML reader refuses it).
  void scan(GPtr<GsfInput> part, const std::string& where);

 protected:
  // `tag` is the text between "<" and ">" without the leading "/" of an end tag or the
  // trailing "/" of an empty element; `name` its local name (after any prefix).
  virtual void onTag(std::string_view tag, std::string_view name, bool end, bool selfClosing) = 0;
  // Ends the scan after the current tag (the rest of the part is not read).
  void stop() { stopped_ = true; }

 private:
  enum class State { Text, TagStart, Tag, Skip };
  void feed(const char* p, const char* end);
  void skipUntil(const char* terminator);
  void endOfTag(std::string_view tag);

  State state_ = State::Text;
  std::string tag_, terminator_;
  size_t matched_ = 0;
  char quote_ = 0;
  bool stopped_ = false, declaration_ = false;
};

// Calls fn(localName, rawValue) for each attribute in the text of a start tag, in order,
// while fn returns true. Values are as written (entities not decoded).
template <typename Fn>
void forEachTagAttribute(std::string_view tag, Fn&& fn) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t i = 0;
  while (i < tag.size() && !blank(tag[i])) ++i;  // past the element name
  while (i < tag.size()) {
    while (i < tag.size() && blank(tag[i])) ++i;
    size_t start = i;
    while (i < tag.size() && tag[i] != '=' && tag[i] != ' ' && tag[i] != '/') ++i;
    std::string_view attr = tag.substr(start, i - start);
    size_t colon = attr.find(':');
    if (colon != std::string_view::npos) attr.remove_prefix(colon + 1);
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '=')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return;
    char quote = tag[i++];
    size_t end = tag.find(quote, i);
    if (end == std::string_view::npos) return;
    if (!fn(attr, tag.substr(i, end - i))) return;
    i = end + 1;
  }
}

// The value of attribute `name` (local name) in the text of a start tag, or "".
inline std::string_view tagAttribute(std::string_view tag, std::string_view name) {
  std::string_view found;
  forEachTagAttribute(tag, [&](std::string_view attr, std::string_view value) {
    if (attr != name) return true;
    found = value;
    return false;
  });
  return found;
}

}  // namespace tabulor::workbook
