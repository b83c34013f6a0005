// The tag scanner: a small state machine over the inflated bytes.
#include "engine/drivers/workbook/tag_scan.h"

#include <algorithm>
#include <cstring>

#include "engine/engine_error.h"

namespace tabulor::workbook {

namespace {

constexpr size_t ChunkBytes = 1 << 18;
constexpr size_t MaxTagBytes = 1 << 16;  // longer tags are cut, not kept whole

}  // namespace

std::string_view tagAttribute(std::string_view tag, std::string_view name) {
  size_t i = 0;
  while (i < tag.size() && tag[i] != ' ' && tag[i] != '\t' && tag[i] != '\r' && tag[i] != '\n')
    ++i;  // past the element name
  while (i < tag.size()) {
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n'))
      ++i;
    size_t start = i;
    while (i < tag.size() && tag[i] != '=' && tag[i] != ' ' && tag[i] != '/') ++i;
    std::string_view attr = tag.substr(start, i - start);
    size_t colon = attr.find(':');
    if (colon != std::string_view::npos) attr.remove_prefix(colon + 1);
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '=')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return {};
    char quote = tag[i++];
    size_t end = tag.find(quote, i);
    if (end == std::string_view::npos) return {};
    if (attr == name) return tag.substr(i, end - i);
    i = end + 1;
  }
  return {};
}

void TagScanner::feed(const char* p, const char* end) {
  while (p < end && !stopped_) {
    switch (state_) {
      case State::Text: {
        const void* lt = std::memchr(p, '<', static_cast<size_t>(end - p));
        if (!lt) return;
        p = static_cast<const char*>(lt) + 1;
        state_ = State::TagStart;
        tag_.clear();
        quote_ = 0;
        break;
      }
      case State::TagStart:
        // Decided by the first characters: "?", "!--", "![CDATA[", "!" or a tag.
        tag_ += *p++;
        if (tag_[0] == '?') {
          skipUntil("?>");
        } else if (tag_[0] == '!') {
          if (tag_.size() >= 3 && tag_.compare(0, 3, "!--") == 0)
            skipUntil("-->");
          else if (tag_.size() >= 8 && tag_.compare(0, 8, "![CDATA[") == 0)
            skipUntil("]]>");
          else if (tag_.size() >= 8 || (tag_.size() >= 2 && tag_[1] != '-' && tag_[1] != '['))
            declaration_ = stopped_ = true;  // a document type declaration: refused in scan()
        } else {
          state_ = State::Tag;
          if (tag_[0] == '>') endOfTag();
        }
        break;
      case State::Tag: {
        // The whole run up to the tag's ">" (outside quotes) at once.
        const char* start = p;
        while (p < end) {
          char ch = *p;
          if (quote_) {
            if (ch == quote_) quote_ = 0;
          } else if (ch == '"' || ch == '\'') {
            quote_ = ch;
          } else if (ch == '>') {
            break;
          }
          ++p;
        }
        size_t room = MaxTagBytes > tag_.size() ? MaxTagBytes - tag_.size() : 0;
        tag_.append(start, std::min(static_cast<size_t>(p - start), room));
        if (p < end) {
          ++p;
          endOfTag();
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

void TagScanner::endOfTag() {
  state_ = State::Text;
  std::string_view tag = tag_;
  bool end = !tag.empty() && tag[0] == '/';
  if (end) tag.remove_prefix(1);
  bool selfClosing = !tag.empty() && tag.back() == '/';
  if (selfClosing) tag.remove_suffix(1);
  size_t nameEnd = 0;
  while (nameEnd < tag.size() && tag[nameEnd] != ' ' && tag[nameEnd] != '\t' &&
         tag[nameEnd] != '\r' && tag[nameEnd] != '\n')
    ++nameEnd;
  std::string_view name = tag.substr(0, nameEnd);
  size_t colon = name.find(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  onTag(tag, name, end, selfClosing);
}

void TagScanner::scan(GsfInput* part, const std::string& where) {
  std::string chunk(ChunkBytes, '\0');
  while (!stopped_) {
    gsf_off_t remaining = gsf_input_remaining(part);
    if (remaining <= 0) break;
    size_t n = static_cast<size_t>(std::min<gsf_off_t>(remaining, ChunkBytes));
    if (!gsf_input_read(part, n, reinterpret_cast<guint8*>(chunk.data())))
      throw EngineError(ErrorKind::BadInput,
                        where + " cannot be inflated: the zip file is damaged or truncated");
    feed(chunk.data(), chunk.data() + n);
  }
  if (declaration_)
    throw EngineError(ErrorKind::BadInput,
                      where +
                          ": the part has a document type declaration (DTD), which workbooks "
                          "never have; it is refused, since that is where entity expansion "
                          "attacks live");
}

}  // namespace tabulor::workbook
