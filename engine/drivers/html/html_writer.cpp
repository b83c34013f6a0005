// The "HTML Export" driver: one complete HTML5 page per table, UTF-8, with the table name as
// title and caption, a header row of field names and one row per record. Every value is
// escaped, so no source can put markup or script into the page; line breaks inside a value
// become <br> (the break itself follows, so a parser's text of the cell is the value).
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/driver.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/output_file.h"
#include "engine/value_format.h"

namespace tabulor {

namespace {

// A piece of the page (a row, the head) is built here and written to the file at once.
// Writers make room first with reserve(); the appends themselves do not check.
class PageBuffer {
 public:
  void reserve(size_t more) {
    if (size_ + more > data_.size()) data_.resize(std::max(data_.size() * 2, size_ + more));
  }
  template <size_t N>
  void literal(const char (&text)[N]) {
    std::memcpy(data_.data() + size_, text, N - 1);
    size_ += N - 1;
  }
  void bytes(std::string_view text) {
    std::memcpy(data_.data() + size_, text.data(), text.size());
    size_ += text.size();
  }
  void byte(char c) { data_[size_++] = c; }
  size_t size() const { return size_; }
  void flushTo(OutputFile& file) {
    file.write(std::string_view(data_.data(), size_));
    size_ = 0;
  }

 private:
  std::string data_;
  size_t size_ = 0;
};

// Bytes that escaping replaces: markup characters, and control characters other than TAB.
const std::array<bool, 256>& specialBytes() {
  static const std::array<bool, 256> table = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c) t[static_cast<size_t>(c)] = c != '\t';
    for (unsigned char c : {'&', '<', '>', '"', '\'', '\x7F'}) t[c] = true;
    return t;
  }();
  return table;
}

// The most bytes escaping makes of one byte ("&quot;").
inline constexpr size_t MaxEscapedBytes = 6;

// Appends `text` escaped for element content and attribute values; line breaks become
// <br> followed by the break itself. Needs room for MaxEscapedBytes per byte of text.
void appendEscaped(PageBuffer& out, std::string_view text) {
  const auto& special = specialBytes();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (!special[c]) continue;
    out.bytes(text.substr(start, i - start));
    start = i + 1;
    switch (c) {
      case '&':
        out.literal("&amp;");
        break;
      case '<':
        out.literal("&lt;");
        break;
      case '>':
        out.literal("&gt;");
        break;
      case '"':
        out.literal("&quot;");
        break;
      case '\'':
        out.literal("&#39;");
        break;
      case '\r':
        out.literal("<br>\r");
        if (i + 1 < text.size() && text[i + 1] == '\n') {
          out.byte('\n');
          ++i;
          start = i + 1;
        }
        break;
      case '\n':
        out.literal("<br>\n");
        break;
      default: {
        // U+2400 + c, the visible "control picture" of the character: HTML5 allows neither
        // the raw control character nor a reference to it.
        char32_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
        out.byte(static_cast<char>(0xE0 | (picture >> 12)));
        out.byte(static_cast<char>(0x80 | ((picture >> 6) & 0x3F)));
        out.byte(static_cast<char>(0x80 | (picture & 0x3F)));
        break;
      }
    }
  }
  out.bytes(text.substr(start));
}

class HtmlWriter : public TableWriter {
 public:
  HtmlWriter(const std::string& folder, const std::string& table, const TableSchema& schema)
      : file_(joinPath(folder, safeFileName(table))), columns_(schema.fields.size()) {
    std::string_view name = fileNameOf(file_.path());
    std::string_view title = name.substr(0, name.size() - extensionOf(name).size());
    page_.reserve(512 + 2 * MaxEscapedBytes * title.size());
    page_.literal("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
    appendEscaped(page_, title);
    page_.literal(
        "</title>\n<style>\n"
        "table { border-collapse: collapse; }\n"
        "th, td { border: 1px solid #999; padding: 2px 6px; vertical-align: top; }\n"
        "th { background: #eee; }\n"
        ".n { text-align: right; }\n"
        "</style>\n</head>\n<body>\n<table>\n<caption>");
    appendEscaped(page_, title);
    page_.literal("</caption>\n<thead>\n<tr>");
    for (const auto& f : schema.fields) {
      page_.reserve(32 + MaxEscapedBytes * f.name.size());
      if (isNumericType(f.type))
        page_.literal("<th class=n>");
      else
        page_.literal("<th>");
      appendEscaped(page_, f.name);
      page_.literal("</th>");
    }
    page_.reserve(32);
    page_.literal("</tr>\n</thead>\n<tbody>\n");
    page_.flushTo(file_);
  }

  void appendRow(const std::vector<Variant>& row) override {
    page_.reserve(16);
    page_.literal("<tr>");
    for (size_t i = 0; i < columns_; ++i) {
      const Variant* v = i < row.size() ? &row[i] : nullptr;
      if (!v || v->isNull()) {
        page_.reserve(16);
        page_.literal("<td></td>");
        continue;
      }
      if (v->vt == VT_BSTR) {
        page_.reserve(16 + MaxEscapedBytes * v->str.size());
        page_.literal("<td>");
        appendEscaped(page_, v->str);
      } else {
        std::string_view text = valueText(*v, scratch_, text_);
        page_.reserve(32 + MaxEscapedBytes * text.size());
        if (isNumericType(v->vt))
          page_.literal("<td class=n>");
        else
          page_.literal("<td>");
        if (text.data() == scratch_)
          page_.bytes(text);  // digits, signs, dates: nothing to escape
        else
          appendEscaped(page_, text);
      }
      page_.literal("</td>");
    }
    page_.reserve(16);
    page_.literal("</tr>\n");
    if (page_.size() >= (1u << 16)) page_.flushTo(file_);
  }

  void finish() override {
    page_.reserve(64);
    page_.literal("</tbody>\n</table>\n</body>\n</html>\n");
    page_.flushTo(file_);
    file_.commit();
  }

 private:
  OutputFile file_;
  size_t columns_;
  PageBuffer page_;
  std::string text_;
  char scratch_[ValueTextScratch];
};

class HtmlDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {
        {"HTML Export"}, "HTML Export", {".htm", ".html"}, false, true, false, {}};
    return info;
  }
  std::unique_ptr<TableWriter> createTable(const std::string& database, const std::string& table,
                                           const TableSchema& schema) const override {
    return std::make_unique<HtmlWriter>(database, table, schema);
  }
};

}  // namespace

const Driver& htmlDriver() {
  static const HtmlDriver driver;
  return driver;
}

}  // namespace tabulor
