// Rows and cells of content.xml.
#include "engine/drivers/ods/content_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/drivers/excel/cell_value.h"
#include "engine/ole_date.h"
#include "engine/text_codec.h"
#include "engine/value_format.h"

namespace tabulor::ods {

std::string contentHead() {
  const char* dateParts =
      "<number:year number:style=\"long\"/><number:text>-</number:text>"
      "<number:month number:style=\"long\"/><number:text>-</number:text>"
      "<number:day number:style=\"long\"/>";
  const char* timeParts =
      "<number:hours number:style=\"long\"/><number:text>:</number:text>"
      "<number:minutes number:style=\"long\"/><number:text>:</number:text>"
      "<number:seconds number:style=\"long\"/>";
  std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\" "
      "office:version=\"1.2\"><office:automatic-styles>";
  head += std::string("<number:date-style style:name=\"N1\">") + dateParts +
          "</number:date-style><number:date-style style:name=\"N2\">" + dateParts +
          "<number:text> </number:text>" + timeParts +
          "</number:date-style><number:time-style style:name=\"N3\">" + timeParts +
          "</number:time-style><number:boolean-style style:name=\"N4\"><number:boolean/>"
          "</number:boolean-style>";
  for (int i = 1; i <= 4; ++i)
    head += "<style:style style:name=\"ce" + std::to_string(i) +
            "\" style:family=\"table-cell\" style:data-style-name=\"N" + std::to_string(i) + "\"/>";
  head += "</office:automatic-styles><office:body><office:spreadsheet>";
  return head;
}

void ContentWriter::escaped(std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        buffer_ += "&amp;";
        break;
      case '<':
        buffer_ += "&lt;";
        break;
      case '>':
        buffer_ += "&gt;";
        break;
      case '"':
        buffer_ += "&quot;";
        break;
      default:
        // Control characters cannot be written in XML 1.0 at all.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
          buffer_ += "\xEF\xBF\xBD";
        else
          buffer_ += c;
    }
  }
}

void ContentWriter::beginTable(std::string_view name, size_t columns) {
  buffer_ += "<table:table table:name=\"";
  escaped(name);
  buffer_ += "\"><table:table-column";
  if (columns > 1) buffer_ += " table:number-columns-repeated=\"" + std::to_string(columns) + "\"";
  buffer_ += "/>";
}

void ContentWriter::endTable() {
  buffer_ += "</table:table>";
}

void ContentWriter::emptyCells(size_t count) {
  if (count == 0) return;
  if (count == 1) {
    buffer_ += "<table:table-cell/>";
    return;
  }
  buffer_ += "<table:table-cell table:number-columns-repeated=\"";
  buffer_ += std::to_string(count);
  buffer_ += "\"/>";
}

// Spaces as OpenDocument readers collapse them back: a run's first space is written as it
// is (except at the start of a paragraph), the others as <text:s/>; tabs as <text:tab/>;
// a line end (LF, CR LF or CR) starts the next paragraph.
void ContentWriter::paragraphs(std::string_view text) {
  buffer_ += "<text:p>";
  bool atStart = true;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == ' ') {
      size_t run = 1;
      while (i + run < text.size() && text[i + run] == ' ') ++run;
      size_t coded = run;
      if (!atStart) {
        buffer_ += ' ';
        --coded;
      }
      if (coded == 1)
        buffer_ += "<text:s/>";
      else if (coded > 1)
        buffer_ += "<text:s text:c=\"" + std::to_string(coded) + "\"/>";
      i += run;
      atStart = false;
      continue;
    }
    if (c == '\t') {
      buffer_ += "<text:tab/>";
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      buffer_ += "</text:p><text:p>";
      atStart = true;
      ++i;
      continue;
    } else {
      escaped(std::string_view(&c, 1));
    }
    atStart = false;
    ++i;
  }
  buffer_ += "</text:p>";
}

void ContentWriter::textCell(std::string_view text) {
  buffer_ += "<table:table-cell office:value-type=\"string\">";
  if (isValidUtf8(text))
    paragraphs(text);
  else
    paragraphs(utf8OrCp1252(text));
  buffer_ += "</table:table-cell>";
}

void ContentWriter::textRow(const std::vector<std::string>& texts) {
  buffer_ += "<table:table-row>";
  for (const std::string& t : texts) textCell(t);
  if (texts.empty()) buffer_ += "<table:table-cell/>";
  buffer_ += "</table:table-row>";
}

void ContentWriter::row(const std::vector<Variant>& values, size_t columns) {
  buffer_ += "<table:table-row>";
  size_t pending = 0;  // empty cells not yet written
  bool any = false;
  char digits[64];
  for (size_t i = 0; i < values.size() && i < columns; ++i) {
    const Variant& v = values[i];
    if (v.isNull()) {
      ++pending;
      continue;
    }
    emptyCells(pending);
    pending = 0;
    any = true;
    double d;
    switch (v.vt) {
      case VT_BSTR:
        textCell(v.str);
        break;
      case VT_BOOL:
        buffer_ += v.boolVal ? "<table:table-cell office:value-type=\"boolean\" "
                               "office:boolean-value=\"true\" table:style-name=\"ce4\"/>"
                             : "<table:table-cell office:value-type=\"boolean\" "
                               "office:boolean-value=\"false\" table:style-name=\"ce4\"/>";
        break;
      case VT_DATE: {
        auto p = partsFromOleDate(v.date);
        if (!p) {
          textCell(variantToText(v));
          break;
        }
        int n;
        if (v.date >= 0 && v.date < 1) {
          buffer_ += "<table:table-cell office:value-type=\"time\" office:time-value=\"";
          n = std::snprintf(digits, sizeof digits, "PT%02dH%02dM%02dS", p->hour, p->minute,
                            p->second);
          buffer_.append(digits, static_cast<size_t>(n));
          buffer_ += "\" table:style-name=\"ce3\"/>";
        } else if (p->hour || p->minute || p->second) {
          buffer_ += "<table:table-cell office:value-type=\"date\" office:date-value=\"";
          n = std::snprintf(digits, sizeof digits, "%04d-%02d-%02dT%02d:%02d:%02d", p->year,
                            p->month, p->day, p->hour, p->minute, p->second);
          buffer_.append(digits, static_cast<size_t>(n));
          buffer_ += "\" table:style-name=\"ce2\"/>";
        } else {
          buffer_ += "<table:table-cell office:value-type=\"date\" office:date-value=\"";
          n = std::snprintf(digits, sizeof digits, "%04d-%02d-%02d", p->year, p->month, p->day);
          buffer_.append(digits, static_cast<size_t>(n));
          buffer_ += "\" table:style-name=\"ce1\"/>";
        }
        break;
      }
      case VT_I8:
      case VT_UI8:
      case VT_DECIMAL: {
        // Numbers with more digits than a double holds stay exact as text.
        std::string text = variantToText(v);
        if (!excel::exactDouble(text, d)) {
          textCell(text);
          break;
        }
        buffer_ += "<table:table-cell office:value-type=\"float\" office:value=\"";
        buffer_ += doubleText(d);
        buffer_ += "\"/>";
        break;
      }
      default:
        if (v.vt != VT_ERROR && variantToDouble(v, d) && std::isfinite(d)) {
          buffer_ += "<table:table-cell office:value-type=\"float\" office:value=\"";
          auto [end, ec] = std::to_chars(digits, digits + sizeof digits, d);
          buffer_.append(digits, static_cast<size_t>(end - digits));
          buffer_ += "\"/>";
        } else {
          textCell(variantToText(v));
        }
        break;
    }
  }
  if (!any) buffer_ += "<table:table-cell/>";
  buffer_ += "</table:table-row>";
}

}  // namespace tabulor::ods
