// A quick first pass over an XML part that looks at its tags alone: text is skipped with
// memchr, comments, CDATA sections and processing instructions are passed by whole, and
// each start or end tag goes to a handler as its raw text. It reads no values and builds no
// nodes, so it costs little more than inflating the part. The xlsx and ods readers use it
// to find the bounding box of a sheet's values before the streaming XML reader reads the
// cells once. Malformed XML is left to that reader, which refuses it.
#pragma once

#include <cstring>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string_view>

#include "engine/drivers/workbook/plain_xml_stream.h"
#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

// The first `c` in [p, end), or nullptr: inline, sixteen bytes at a time where the processor
// has SSE2, since most of what it looks through is a few bytes long and a call to memchr
// would cost more than the search.
inline const char* findByte(const char* p, const char* end, char c) {
#ifdef __SSE2__
  const __m128i wanted = _mm_set1_epi8(c);
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted));
    if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  for (; p < end; ++p)
    if (*p == c) return p;
  return nullptr;
}

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
    const char* eq = findByte(base + i, base + tag.size(), '=');
    if (!eq) return;
    size_t nameEnd = static_cast<size_t>(eq - base);
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
    const char* close = findByte(base + v + 1, base + tag.size(), tag[v]);
    if (!close) return;
    size_t valueEnd = static_cast<size_t>(close - base);
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
