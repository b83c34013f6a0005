// The tag scanner of the first pass: text is skipped with memchr, comments, CDATA sections
// and processing instructions are passed by whole, and only start and end tags are looked
// at.
#include "engine/drivers/xlsx/range_scan.h"

#include <cstring>
#include <string>
#include <string_view>

#include "engine/engine_error.h"

namespace tabulor::xlsx {

namespace {

constexpr size_t ChunkBytes = 1 << 18;
constexpr size_t MaxTagBytes = 1 << 16;  // longer tags are skipped, not kept

// The value of attribute `name` (local name) in the text of a start tag, or "".
std::string_view attributeOf(std::string_view tag, std::string_view name) {
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

bool parseRef(std::string_view ref, uint32_t& row, uint32_t& col) {
  uint64_t c = 0, r = 0;
  size_t i = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t letters = i;
  while (i < ref.size() && ((ref[i] | 0x20) >= 'a' && (ref[i] | 0x20) <= 'z') && c <= 16384)
    c = c * 26 + static_cast<uint64_t>((ref[i++] | 0x20) - 'a' + 1);
  if (i == letters) return false;
  if (i < ref.size() && ref[i] == '$') ++i;
  size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r <= workbook::MaxSheetRows)
    r = r * 10 + static_cast<uint64_t>(ref[i++] - '0');
  if (i == digits || i != ref.size() || c == 0 || c > workbook::MaxSheetColumns || r == 0 ||
      r > workbook::MaxSheetRows)
    return false;
  row = static_cast<uint32_t>(r - 1);
  col = static_cast<uint32_t>(c - 1);
  return true;
}

bool parseRow(std::string_view text, int64_t& row) {
  uint64_t r = 0;
  if (text.empty()) return false;
  for (char ch : text) {
    if (ch < '0' || ch > '9' || r > workbook::MaxSheetRows) return false;
    r = r * 10 + static_cast<uint64_t>(ch - '0');
  }
  if (r == 0 || r > workbook::MaxSheetRows) return false;
  row = static_cast<int64_t>(r) - 1;
  return true;
}

class Scanner {
 public:
  void feed(const char* p, const char* end) {
    while (p < end) {
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
              skipUntil(">");
          } else {
            state_ = State::Tag;
            if (tag_[0] == '>') endOfTag();
          }
          break;
        case State::Tag: {
          char ch = *p++;
          if (quote_) {
            if (ch == quote_) quote_ = 0;
          } else if (ch == '"' || ch == '\'') {
            quote_ = ch;
          } else if (ch == '>') {
            endOfTag();
            break;
          }
          if (tag_.size() < MaxTagBytes) tag_ += ch;
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

  workbook::UsedRange range;

 private:
  enum class State { Text, TagStart, Tag, Skip };

  void skipUntil(const char* terminator) {
    terminator_ = terminator;
    matched_ = 0;
    state_ = State::Skip;
  }

  void endOfTag() {
    state_ = State::Text;
    std::string_view tag = tag_;
    bool end = !tag.empty() && tag[0] == '/';
    if (end) tag.remove_prefix(1);
    bool selfClosing = !tag.empty() && tag.back() == '/';
    size_t nameEnd = 0;
    while (nameEnd < tag.size() && tag[nameEnd] != ' ' && tag[nameEnd] != '/' &&
           tag[nameEnd] != '\t' && tag[nameEnd] != '\r' && tag[nameEnd] != '\n')
      ++nameEnd;
    std::string_view name = tag.substr(0, nameEnd);
    size_t colon = name.find(':');
    if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
    if (end) {
      if (name == "c") {
        if (inCell_ && hasValue_) range.add(cellRow_, cellCol_);
        inCell_ = false;
      }
      return;
    }
    if (name == "row") {
      int64_t row = currentRow_ + 1;
      parseRow(attributeOf(tag, "r"), row);
      currentRow_ = row;
      lastCol_ = -1;
    } else if (name == "c") {
      uint32_t row, col;
      if (!parseRef(attributeOf(tag, "r"), row, col)) {
        row = static_cast<uint32_t>(currentRow_ < 0 ? 0 : currentRow_);
        col = static_cast<uint32_t>(lastCol_ + 1);
      }
      lastCol_ = col;
      inCell_ = !selfClosing;
      hasValue_ = false;
      cellRow_ = row, cellCol_ = col;
    } else if ((name == "v" || name == "is") && inCell_) {
      hasValue_ = true;
    }
  }

  State state_ = State::Text;
  std::string tag_, terminator_;
  size_t matched_ = 0;
  char quote_ = 0;
  int64_t currentRow_ = -1, lastCol_ = -1;
  bool inCell_ = false, hasValue_ = false;
  uint32_t cellRow_ = 0, cellCol_ = 0;
};

}  // namespace

workbook::UsedRange scanCellRange(GsfInput* part, const std::string& where) {
  Scanner scanner;
  std::string chunk(ChunkBytes, '\0');
  for (;;) {
    gsf_off_t remaining = gsf_input_remaining(part);
    if (remaining <= 0) break;
    size_t n = static_cast<size_t>(std::min<gsf_off_t>(remaining, ChunkBytes));
    if (!gsf_input_read(part, n, reinterpret_cast<guint8*>(chunk.data())))
      throw EngineError(ErrorKind::BadInput,
                        where + " cannot be inflated: the zip file is damaged or truncated");
    scanner.feed(chunk.data(), chunk.data() + n);
  }
  return scanner.range;
}

}  // namespace tabulor::xlsx
