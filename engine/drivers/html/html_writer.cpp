// The "HTML Export" driver: one complete HTML5 page per table, UTF-8, with the table name as
// title and caption, a header row of field names and one row per record. Every value is
// escaped, so no source can put markup or script into the page; line breaks inside a value
// become <br> (the break itself follows, so a parser's text of the cell is the value).
#include <charconv>
#include <cmath>

#include "engine/driver.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/ole_date.h"
#include "engine/output_file.h"

namespace tabulor {

namespace {

bool isNumeric(uint16_t vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_UI1:
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// Appends `text` escaped for element content and attribute values; line breaks become
// <br> followed by the break itself.
void appendEscaped(OutputFile& out, std::string_view text) {
  size_t start = 0;
  auto flush = [&](size_t end) {
    if (end > start) out.write(text.substr(start, end - start));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x40 && c != 0x7F) ||
        (c >= 0x20 && c < 0x40 && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'') ||
        c == '\t')
      continue;
    flush(i);
    start = i + 1;
    switch (c) {
      case '&':
        out.write("&amp;");
        break;
      case '<':
        out.write("&lt;");
        break;
      case '>':
        out.write("&gt;");
        break;
      case '"':
        out.write("&quot;");
        break;
      case '\'':
        out.write("&#39;");
        break;
      case '\r':
        out.write("<br>\r");
        if (i + 1 < text.size() && text[i + 1] == '\n') {
          out.put('\n');
          ++i;
          start = i + 1;
        }
        break;
      case '\n':
        out.write("<br>\n");
        break;
      default: {
        // U+2400 + c, the visible "control picture" of the character: HTML5 allows neither
        // the raw control character nor a reference to it.
        char32_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
        char utf8[3] = {static_cast<char>(0xE0 | (picture >> 12)),
                        static_cast<char>(0x80 | ((picture >> 6) & 0x3F)),
                        static_cast<char>(0x80 | (picture & 0x3F))};
        out.write(std::string_view(utf8, 3));
        break;
      }
    }
  }
  flush(text.size());
}

void putDigits(char*& p, int value, int width) {
  for (int k = width - 1; k >= 0; --k) {
    p[k] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  p += width;
}

// The text variantToText gives for the common value kinds, formatted into `buf` without
// allocating (a page of a million rows formats millions of values); empty for the others.
std::string_view fastText(const Variant& v, char (&buf)[64]) {
  char* end = buf;
  switch (v.vt) {
    case VT_I2:
      end = std::to_chars(buf, buf + sizeof buf, v.iVal).ptr;
      break;
    case VT_I4:
      end = std::to_chars(buf, buf + sizeof buf, v.lVal).ptr;
      break;
    case VT_UI1:
      end = std::to_chars(buf, buf + sizeof buf, v.bVal).ptr;
      break;
    case VT_R8:
      if (v.dblVal == 0 || !std::isfinite(v.dblVal)) return {};
      end = std::to_chars(buf, buf + sizeof buf, v.dblVal).ptr;
      break;
    case VT_BOOL:
      return v.boolVal ? "TRUE" : "FALSE";
    case VT_DATE: {
      auto p = partsFromOleDate(v.date);
      if (!p) return {};
      putDigits(end, p->year, 4);
      *end++ = '-';
      putDigits(end, p->month, 2);
      *end++ = '-';
      putDigits(end, p->day, 2);
      if (p->hour || p->minute || p->second) {
        *end++ = ' ';
        putDigits(end, p->hour, 2);
        *end++ = ':';
        putDigits(end, p->minute, 2);
        *end++ = ':';
        putDigits(end, p->second, 2);
      }
      break;
    }
    default:
      return {};
  }
  return {buf, static_cast<size_t>(end - buf)};
}

class HtmlWriter : public TableWriter {
 public:
  HtmlWriter(const std::string& folder, const std::string& table, const TableSchema& schema)
      : file_(joinPath(folder, safeFileName(table))), columns_(schema.fields.size()) {
    std::string_view name = fileNameOf(file_.path());
    std::string_view title = name.substr(0, name.size() - extensionOf(name).size());
    file_.write("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
    appendEscaped(file_, title);
    file_.write(
        "</title>\n<style>\n"
        "table { border-collapse: collapse; }\n"
        "th, td { border: 1px solid #999; padding: 2px 6px; vertical-align: top; }\n"
        "th { background: #eee; }\n"
        ".n { text-align: right; }\n"
        "</style>\n</head>\n<body>\n<table>\n<caption>");
    appendEscaped(file_, title);
    file_.write("</caption>\n<thead>\n<tr>");
    for (const auto& f : schema.fields) {
      file_.write(isNumeric(f.type) ? "<th class=n>" : "<th>");
      appendEscaped(file_, f.name);
      file_.write("</th>");
    }
    file_.write("</tr>\n</thead>\n<tbody>\n");
  }

  void appendRow(const std::vector<Variant>& row) override {
    file_.write("<tr>");
    for (size_t i = 0; i < columns_; ++i) {
      const Variant* v = i < row.size() ? &row[i] : nullptr;
      if (!v || v->isNull()) {
        file_.write("<td></td>");
        continue;
      }
      if (v->vt == VT_BSTR) {
        file_.write("<td>");
        appendEscaped(file_, v->str);
      } else {
        file_.write(isNumeric(v->vt) ? "<td class=n>" : "<td>");
        std::string_view fast = fastText(*v, scratch_);
        if (!fast.empty()) {
          file_.write(fast);  // digits, signs, dates: nothing to escape
        } else {
          text_ = variantToText(*v);
          appendEscaped(file_, text_);
        }
      }
      file_.write("</td>");
    }
    file_.write("</tr>\n");
  }

  void finish() override {
    file_.write("</tbody>\n</table>\n</body>\n</html>\n");
    file_.commit();
  }

 private:
  OutputFile file_;
  size_t columns_;
  std::string text_;
  char scratch_[64];
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
