// A quick first pass over an XML part that looks at its tags alone: text is skipped with
// memchr, comments, CDATA sections and processing instructions are passed by whole, and
// each start or end tag goes to a handler as its raw text. It reads no values and builds no
// nodes, so it costs little more than inflating the part. The xlsx and ods readers use it
// to find the bounding box of a sheet's values before the streaming XML reader reads the
// cells once. Malformed XML is left to that reader, which refuses it.
#pragma once

#include <gsf/gsf.h>

#include <string>
#include <string_view>

namespace tabulor::workbook {

class TagScanner {
 public:
  virtual ~TagScanner() = default;
  // Reads `part` to its end, calling onTag for every tag. Throws EngineError(BadInput)
  // naming `where` when the part cannot be inflated or has a document type declaration
  // (refused as the XML reader refuses it).
  void scan(GsfInput* part, const std::string& where);

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
  void endOfTag();

  State state_ = State::Text;
  std::string tag_, terminator_;
  size_t matched_ = 0;
  char quote_ = 0;
  bool stopped_ = false, declaration_ = false;
};

// The value of attribute `name` (local name) in the text of a start tag, or "".
std::string_view tagAttribute(std::string_view tag, std::string_view name);

}  // namespace tabulor::workbook
