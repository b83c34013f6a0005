// Reading number formats and cell formats from the styles part.
#include "engine/drivers/xlsx/styles.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "engine/drivers/excel/cell_formats.h"
#include "engine/drivers/workbook/xml_stream.h"

namespace tabulor::xlsx {

std::vector<bool> readDateStyles(const workbook::ZipPackage& package, const std::string& partPath) {
  std::vector<bool> out;
  if (partPath.empty()) return out;
  auto input = package.openPart(partPath);
  if (!input) return out;
  workbook::XmlStream xml(std::move(input), package.name() + ", part " + partPath);
  const xmlChar* numFmt = xml.intern("numFmt");
  const xmlChar* cellXfs = xml.intern("cellXfs");
  const xmlChar* xf = xml.intern("xf");
  std::unordered_map<long, bool> custom;
  int xfsDepth = -1;
  while (xml.next()) {
    const xmlChar* name = xml.localName();
    if (xml.isElement()) {
      if (name == numFmt) {
        long id = std::strtol(xml.attribute("numFmtId").value_or("-1").c_str(), nullptr, 10);
        custom[id] = excel::isDateFormatString(xml.attribute("formatCode").value_or(""));
      } else if (name == cellXfs && !xml.isEmptyElement()) {
        xfsDepth = xml.depth();
      } else if (name == xf && xfsDepth >= 0 && xml.depth() == xfsDepth + 1) {
        long id = std::strtol(xml.attribute("numFmtId").value_or("0").c_str(), nullptr, 10);
        auto it = custom.find(id);
        out.push_back(it != custom.end()
                          ? it->second
                          : id >= 0 && id < 65536 &&
                                excel::isBuiltinDateFormat(static_cast<uint16_t>(id)));
      }
    } else if (xml.isEnd() && name == cellXfs) {
      xfsDepth = -1;
    }
  }
  return out;
}

}  // namespace tabulor::xlsx
