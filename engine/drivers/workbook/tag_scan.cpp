// The tag scanner: a small state machine over the inflated bytes.
#include "engine/drivers/workbook/tag_scan.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/drivers/workbook/part_inflater.h"
#include "engine/engine_error.h"

namespace tabulor::workbook {

namespace {

constexpr size_t MaxTagBytes = 1 << 16;  // longer tags are cut, not kept whole

// The first '>', '"' or '\'' in [p, end), or end: sixteen bytes at a time where the
// processor has SSE2 (every x86-64 has), since most bytes of a sheet are inside tags.
const char* nextTagMark(const char* p, const char* end) {
#ifdef __SSE2__
  const __m128i gt = _mm_set1_epi8('>'), dq = _mm_set1_epi8('"'), sq = _mm_set1_epi8('\'');
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, dq)),
                               _mm_cmpeq_epi8(v, sq));
    int mask = _mm_movemask_epi8(hit);
    if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && *p != '>' && *p != '"' && *p != '\'') ++p;
  return p;
}

}  // namespace

const char* findTagEnd(const char* p, const char* end, char& quote) {
  for (;;) {
    if (quote) {
      // Inside a value: straight to its closing quote.
      const char* q = findByte(p, end, quote);
      if (!q) return nullptr;
      p = q + 1;
      quote = 0;
    }
    p = nextTagMark(p, end);
    if (p == end) return nullptr;
    if (*p == '>') return p;
    quote = *p++;
  }
}

void TagScanner::feed(const char* p, const char* end) {
  while (p < end && !stopped_) {
    switch (state_) {
      case State::Text: {
        const char* lt = findByte(p, end, '<');
        if (!lt) return;
        p = lt + 1;
        quote_ = 0;
        // The common case, a start or end tag that lies wholly in this slice, is handed
        // out in place; the rest goes through the states below.
        if (p < end && *p != '?' && *p != '!') {
          // An end tag has no values to step over.
          const char* close = *p == '/' ? findByte(p, end, '>') : findTagEnd(p, end, quote_);
          if (close) {
            endOfTag(std::string_view(p, static_cast<size_t>(close - p)));
            p = close + 1;
            break;
          }
          state_ = State::Tag;
          tag_.assign(p, std::min(static_cast<size_t>(end - p), MaxTagBytes));
          return;
        }
        state_ = State::TagStart;
        tag_.clear();
        break;
      }
      case State::TagStart:
        // Decided by the first characters: "?", "!--", "![CDATA[", "!" or a tag.
        tag_ += *p++;
        if (tag_[0] == '?') {
          plainXml_.onProcessingInstruction();
          skipUntil("?>");
        } else if (tag_[0] == '!') {
          if (tag_.size() >= 3 && tag_.compare(0, 3, "!--") == 0)
            skipUntil("-->");
          else if (tag_.size() >= 8 && tag_.compare(0, 8, "![CDATA[") == 0)
            plainXml_.onCdata(), skipUntil("]]>");
          else if (tag_.size() >= 8 || (tag_.size() >= 2 && tag_[1] != '-' && tag_[1] != '['))
            declaration_ = stopped_ = true;  // a document type declaration: refused in scan()
        } else {
          state_ = State::Tag;
          if (tag_[0] == '>') {
            state_ = State::Text;
            endOfTag(std::string_view(tag_).substr(0, 0));
          }
        }
        break;
      case State::Tag: {
        // The rest of a tag that began in an earlier slice.
        const char* close = findTagEnd(p, end, quote_);
        const char* stop = close ? close : end;
        size_t room = MaxTagBytes > tag_.size() ? MaxTagBytes - tag_.size() : 0;
        tag_.append(p, std::min(static_cast<size_t>(stop - p), room));
        p = stop;
        if (close) {
          ++p;
          state_ = State::Text;
          endOfTag(tag_);
        }
        break;
      }
      case State::Skip: {
        char ch = *p++;
        const std::string& t = terminator_;
        if (ch == t[matched_]) {
          if (++matched_ == t.size()) state_ = State::Text;
        } else if (!(matched_ == 2 && t.size() == 3 && t[0] == t[1] && ch == t[1])) {
          matched_ = ch == t[0] ? 1 : 0;
        }
        break;
      }
    }
  }
}

void TagScanner::skipUntil(const char* terminator) {
  terminator_ = terminator;
  matched_ = 0;
  state_ = State::Skip;
}

void TagScanner::endOfTag(std::string_view tag) {
  bool end = !tag.empty() && tag[0] == '/';
  if (end) tag.remove_prefix(1);
  plainXml_.onTag(tag, end);
  bool selfClosing = !tag.empty() && tag.back() == '/';
  if (selfClosing) tag.remove_suffix(1);
  // The local name: from after a prefix's colon to the first blank.
  size_t nameStart = 0, nameEnd = 0;
  for (; nameEnd < tag.size(); ++nameEnd) {
    char c = tag[nameEnd];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
    if (c == ':' && nameStart == 0) nameStart = nameEnd + 1;
  }
  onTag(tag, tag.substr(nameStart, nameEnd - nameStart), end, selfClosing);
}

void TagScanner::scan(GPtr<GsfInput> part, const std::string& where) {
  PartInflater inflater(std::move(part), where);
  bool first = true;
  while (!stopped_) {
    std::string_view slice = inflater.next();
    if (slice.empty()) break;
    // The scan reads markup as bytes: in UTF-16 it would find no tags and the table would
    // come out empty without a word. Neither Excel nor LibreOffice writes such parts.
    if (first && slice.size() >= 2 &&
        ((slice[0] == '\xFF' && slice[1] == '\xFE') || (slice[0] == '\xFE' && slice[1] == '\xFF') ||
         (slice[0] == '<' && slice[1] == '\0') || (slice[0] == '\0' && slice[1] == '<')))
      throw EngineError(ErrorKind::Unsupported,
                        where +
                            " is in UTF-16, which this reader does not read; save the workbook "
                            "again from a spreadsheet program (which writes UTF-8)");
    if (first) plainXml_.onStart(slice);
    first = false;
    feed(slice.data(), slice.data() + slice.size());
  }
  if (declaration_)
    throw EngineError(ErrorKind::BadInput,
                      where +
                          ": the part has a document type declaration (DTD), which workbooks "
                          "never have; it is refused, since that is where entity expansion "
                          "attacks live");
}

}  // namespace tabulor::workbook
