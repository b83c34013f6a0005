// Reading number formats and cell formats from the styles part.
#include "engine/drivers/xlsx/styles.h"

#include <charconv>
#include <unordered_map>

#include "engine/drivers/excel/cell_formats.h"
#include "engine/drivers/workbook/sax_stream.h"

namespace tabulor::xlsx {

std::vector<bool> readDateStyles(const workbook::ZipPackage& package, const std::string& partPath) {
  std::vector<bool> out;
  if (partPath.empty()) return out;
  auto input = package.openPart(partPath);
  if (!input) return out;
  std::unordered_map<long, bool> custom;
  int xfsDepth = -1;  // depth of the cellXfs element being read
  auto number = [](std::optional<std::string_view> text, long fallback) {
    long v = fallback;
    if (text) std::from_chars(text->data(), text->data() + text->size(), v);
    return v;
  };
  workbook::readStartTags(
      std::move(input), package.name() + ", part " + partPath,
      [&](std::string_view name, const xmlChar*, const workbook::XmlAttributes& attrs, int depth) {
        if (xfsDepth >= 0 && depth <= xfsDepth) xfsDepth = -1;  // past the end of cellXfs
        if (name == "numFmt") {
          custom[number(attrs.get("numFmtId"), -1)] =
              excel::isDateFormatString(attrs.get("formatCode").value_or(""));
        } else if (name == "cellXfs") {
          xfsDepth = depth;
        } else if (name == "xf" && xfsDepth >= 0 && depth == xfsDepth + 1) {
          long id = number(attrs.get("numFmtId"), 0);
          auto it = custom.find(id);
          out.push_back(it != custom.end()
                            ? it->second
                            : id >= 0 && id < 65536 &&
                                  excel::isBuiltinDateFormat(static_cast<uint16_t>(id)));
        }
      });
  return out;
}

}  // namespace tabulor::xlsx
