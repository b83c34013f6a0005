// Relationships and the workbook part.
#include "engine/drivers/xlsx/workbook_parts.h"

#include <charconv>
#include <cstring>
#include <map>

#include "engine/drivers/workbook/sax_stream.h"
#include "engine/drivers/xlsx/ooxml_text.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor::xlsx {

namespace {

using workbook::XmlAttributes;

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

struct Relationship {
  std::string type, target;  // target resolved to a part path
  bool external = false;
};

// The folder of a part ("xl" for "xl/workbook.xml"), where its relationships point from.
std::string folderOfPart(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? "" : part.substr(0, slash);
}

// The relationships of `part` by id; empty when it has none.
std::map<std::string, Relationship> readRelationships(const workbook::ZipPackage& package,
                                                      const std::string& part) {
  std::string folder = folderOfPart(part);
  std::string relsPath = (folder.empty() ? "" : folder + "/") + "_rels/" +
                         part.substr(folder.empty() ? 0 : folder.size() + 1) + ".rels";
  std::map<std::string, Relationship> out;
  auto input = package.openPart(relsPath);
  if (!input) return out;
  workbook::readStartTags(
      std::move(input), package.name() + ", part " + relsPath,
      [&](std::string_view name, const xmlChar*, const XmlAttributes& attrs, int) {
        if (name != "Relationship") return;
        Relationship rel;
        std::string id(attrs.get("Id").value_or(""));
        rel.type = attrs.get("Type").value_or("");
        rel.external = equalsNoCase(attrs.get("TargetMode").value_or(""), "External");
        rel.target = workbook::resolvePartPath(folder, attrs.get("Target").value_or(""));
        if (!id.empty()) out.emplace(id, std::move(rel));
      });
  return out;
}

bool truthy(const std::optional<std::string_view>& v) {
  return v && (*v == "1" || equalsNoCase(*v, "true") || equalsNoCase(*v, "on"));
}

}  // namespace

WorkbookParts readWorkbookParts(const workbook::ZipPackage& package) {
  const std::string& file = package.name();
  WorkbookParts parts;
  for (const auto& [id, rel] : readRelationships(package, "")) {
    (void)id;
    if (!rel.external && endsWith(rel.type, "/officeDocument")) parts.workbookPath = rel.target;
  }
  if (parts.workbookPath.empty()) {
    if (package.has("content.xml") && package.has("mimetype"))
      throw EngineError(ErrorKind::Unsupported,
                        file +
                            " is an OpenDocument file (.ods), not an Excel 2007 or later "
                            "workbook; name it .ods");
    if (package.has("word/document.xml") || package.has("ppt/presentation.xml"))
      throw EngineError(ErrorKind::BadInput,
                        file + " is a Word or PowerPoint document, not an Excel workbook");
    parts.workbookPath = "xl/workbook.xml";
  }
  auto input = package.requirePart(parts.workbookPath, "the workbook part, which lists the sheets");

  std::map<std::string, Relationship> rels = readRelationships(package, parts.workbookPath);
  for (const auto& [id, rel] : rels) {
    (void)id;
    if (rel.external) continue;
    if (endsWith(rel.type, "/sharedStrings")) parts.sharedStringsPath = rel.target;
    if (endsWith(rel.type, "/styles")) parts.stylesPath = rel.target;
  }

  workbook::readStartTags(
      std::move(input), file + ", part " + parts.workbookPath,
      [&](std::string_view name, const xmlChar*, const XmlAttributes& attrs, int) {
        if (name == "workbookPr") {
          parts.date1904 = truthy(attrs.get("date1904"));
        } else if (name == "sheet") {
          SheetPart sheet;
          std::string sheetName(attrs.get("name").value_or(""));
          decodeEscapes(sheetName);
          sheet.name = sheetName;
          // The relationship id is the attribute "id" in the relationships namespace.
          std::string id;
          for (int i = 0; i < attrs.size(); ++i) {
            const xmlChar* ns = attrs.uri(i);
            if (std::strcmp(reinterpret_cast<const char*>(attrs.name(i)), "id") == 0 && ns &&
                std::strstr(reinterpret_cast<const char*>(ns), "relationships"))
              id = std::string(attrs.value(i));
          }
          auto rel = rels.find(id);
          if (rel != rels.end() && !rel->second.external) {
            sheet.partPath = rel->second.target;
            sheet.worksheet = endsWith(rel->second.type, "/worksheet");
          }
          parts.sheets.push_back(std::move(sheet));
        } else if (name == "definedName") {
          DefinedNameEntry entry;
          entry.name = attrs.get("name").value_or("");
          if (auto local = attrs.get("localSheetId")) {
            int v = -1;
            auto [end, ec] = std::from_chars(local->data(), local->data() + local->size(), v);
            if (ec == std::errc() && end == local->data() + local->size() && v >= 0 && v < 65536)
              entry.localSheet = v;
          }
          // Excel's own names (print areas, filter ranges) are not shown to users either.
          if (!entry.name.empty() && entry.name.rfind("_xlnm.", 0) != 0)
            parts.names.push_back(std::move(entry));
        }
      });
  return parts;
}

}  // namespace tabulor::xlsx
