// Reading the shared string table.
#include "engine/drivers/xlsx/shared_strings.h"

#include "engine/drivers/workbook/sax_stream.h"
#include "engine/drivers/xlsx/ooxml_text.h"

namespace tabulor::xlsx {

namespace {

using workbook::XmlAttributes;

class SharedStringsReader : public workbook::SaxHandler {
 public:
  SharedStringsReader(workbook::SaxStream& xml, SharedStrings& table)
      : table_(table), si_(xml.intern("si")), t_(xml.intern("t")), rPh_(xml.intern("rPh")) {}

  void startElement(const xmlChar* name, const xmlChar*, const XmlAttributes&) override {
    int depth = depth_++;
    if (name == si_) {
      text_.clear();
      inItem_ = true;
    } else if (name == rPh_ && phoneticDepth_ < 0) {
      phoneticDepth_ = depth;
    } else if (name == t_ && inItem_ && phoneticDepth_ < 0) {
      inText_ = true;
    }
  }

  void endElement(const xmlChar* name) override {
    int depth = --depth_;
    if (name == t_) {
      inText_ = false;
    } else if (name == rPh_ && depth == phoneticDepth_) {
      phoneticDepth_ = -1;
    } else if (name == si_ && inItem_) {
      decodeEscapes(text_);
      table_.add(text_);
      inItem_ = false;
    }
  }

  void characters(std::string_view text) override {
    if (inText_) text_.append(text);
  }

 private:
  SharedStrings& table_;
  const xmlChar *si_, *t_, *rPh_;
  std::string text_;
  int depth_ = 0, phoneticDepth_ = -1;
  bool inItem_ = false, inText_ = false;
};

}  // namespace

SharedStrings readSharedStrings(const workbook::ZipPackage& package, const std::string& partPath) {
  SharedStrings table;
  if (partPath.empty()) return table;
  auto input = package.openPart(partPath);
  if (!input) return table;
  workbook::SaxStream xml(std::move(input), package.name() + ", part " + partPath);
  SharedStringsReader reader(xml, table);
  xml.parseAll(reader);
  return table;
}

}  // namespace tabulor::xlsx
