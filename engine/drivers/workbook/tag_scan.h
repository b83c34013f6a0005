// A quick first pass over an XML part that looks at its tags alone: text is skipped with
// memchr, comments, CDATA sections and processing instructions are passed by whole, and
// each start or end tag goes to a handler as its raw text. It reads no values and builds no
// nodes, so it costs little more than inflating the part. The xlsx and ods readers use it
// to find the bounding box of a sheet's values before the streaming XML reader reads the
// cells once. Malformed XML is left to that reader, which refuses it.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "engine/drivers/workbook/plain_xml_stream.h"
#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

// Where the tag whose text starts at p ends: its ">" outside quoted values, or nullptr when
// the tag runs past `end`; `quote` carries an open quote in and out (0: none).
const char* findTagEnd(const char* p, const char* end, char& quote);

class TagScanner {
 public:
  virtual ~TagScanner() = default;
  // Reads `part` to its end, calling onTag for every tag. Throws EngineError(BadInput)
  // naming `where` when the part cannot be inflated or has a document type declaration
  // (refused as the XML reader refuses it).
  void scan(GPtr<GsfInput> part, const std::string& where);
  // Whether the part, as far as it was scanned, is plain XML (see PlainXmlCheck); pin
  // prefixes on it before the scan.
  PlainXmlCheck& plainXml() { return plainXml_; }

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
  PlainXmlCheck plainXml_;
};

// Calls fn(localName, rawValue) for each attribute in the text of a start tag, in order,
// while fn returns true (fn(qualifiedName, rawValue) when `qualified`). Values are as
// written (entities not decoded).
template <typename Fn>
void forEachTagAttribute(std::string_view tag, Fn&& fn, bool qualified = false) {
  // Names never hold "=" and values are quoted: from one value's closing quote, the next
  // "=" ends the next name.
  const char* base = tag.data();
  size_t i = 0;
  while (i < tag.size()) {
    const void* eq = std::memchr(base + i, '=', tag.size() - i);
    if (!eq) return;
    size_t nameEnd = static_cast<size_t>(static_cast<const char*>(eq) - base);
    size_t end = nameEnd;
    while (end > i && (tag[end - 1] == ' ' || tag[end - 1] == '\t' || tag[end - 1] == '\r' ||
                       tag[end - 1] == '\n'))
      --end;
    size_t start = end;
    while (start > i && tag[start - 1] != ' ' && tag[start - 1] != '\t' && tag[start - 1] != '\r' &&
           tag[start - 1] != '\n' && (qualified || tag[start - 1] != ':'))
      --start;
    size_t v = nameEnd + 1;
    while (v < tag.size() && (tag[v] == ' ' || tag[v] == '\t' || tag[v] == '\r' || tag[v] == '\n'))
      ++v;
    if (v >= tag.size() || (tag[v] != '"' && tag[v] != '\'')) return;
    const void* close = std::memchr(base + v + 1, tag[v], tag.size() - v - 1);
    if (!close) return;
    size_t valueEnd = static_cast<size_t>(static_cast<const char*>(close) - base);
    if (!fn(tag.substr(start, end - start), tag.substr(v + 1, valueEnd - v - 1))) return;
    i = valueEnd + 1;
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
