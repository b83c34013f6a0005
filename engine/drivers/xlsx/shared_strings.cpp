// Reading the shared string table.
#include "engine/drivers/xlsx/shared_strings.h"

#include "engine/drivers/workbook/xml_stream.h"
#include "engine/drivers/xlsx/ooxml_text.h"

namespace tabulor::xlsx {

SharedStrings readSharedStrings(const workbook::ZipPackage& package, const std::string& partPath) {
  SharedStrings table;
  if (partPath.empty()) return table;
  auto input = package.openPart(partPath);
  if (!input) return table;
  workbook::XmlStream xml(std::move(input), package.name() + ", part " + partPath);
  const xmlChar* si = xml.intern("si");
  const xmlChar* t = xml.intern("t");
  const xmlChar* rPh = xml.intern("rPh");
  std::string text;
  bool inItem = false, inText = false;
  int phoneticDepth = -1;
  while (xml.next()) {
    if (xml.isElement()) {
      const xmlChar* name = xml.localName();
      if (name == si) {
        text.clear();
        inItem = true;
        if (xml.isEmptyElement()) {
          table.add({});
          inItem = false;
        }
      } else if (name == rPh && phoneticDepth < 0 && !xml.isEmptyElement()) {
        phoneticDepth = xml.depth();
      } else if (name == t && inItem && phoneticDepth < 0) {
        inText = !xml.isEmptyElement();
      }
    } else if (xml.isEnd()) {
      const xmlChar* name = xml.localName();
      if (name == t) {
        inText = false;
      } else if (name == rPh && xml.depth() == phoneticDepth) {
        phoneticDepth = -1;
      } else if (name == si && inItem) {
        decodeEscapes(text);
        table.add(text);
        inItem = false;
      }
    } else if (inText && xml.isText()) {
      text.append(xml.text());
    }
  }
  return table;
}

}  // namespace tabulor::xlsx
