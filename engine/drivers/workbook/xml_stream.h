// A streaming XML reader over one part of a zip package: libxml2's xmlTextReader with the
// network off and entities left unexpanded, fed from a libgsf stream in slices, so that
// memory stays the same whatever the size of the part. A part with a document type
// declaration is refused before the parser sees it: workbook parts never have one, and it
// is where entity bombs live.
#pragma once

#include <libxml/xmlreader.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

class XmlStream {
 public:
  // Takes the part stream; `where` names file and part in messages ("book.xlsx, part
  // xl/workbook.xml").
  XmlStream(GPtr<GsfInput> part, std::string where);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Moves to the next node; false at the end of the document. Throws EngineError(BadInput)
  // for XML that is not well formed, a document type declaration, or a part that cannot be
  // inflated.
  bool next();
  // Skips the current element's subtree (the reader then stands on the node after it).
  // Returns false at the end of the document.
  bool skipSubtree();

  int type() const { return type_; }
  bool isElement() const { return type_ == XML_READER_TYPE_ELEMENT; }
  bool isEnd() const { return type_ == XML_READER_TYPE_END_ELEMENT; }
  // Text, CDATA and white space: the character data of the document.
  bool isText() const {
    return type_ == XML_READER_TYPE_TEXT || type_ == XML_READER_TYPE_CDATA ||
           type_ == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || type_ == XML_READER_TYPE_WHITESPACE;
  }
  bool isEmptyElement() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }
  int depth() const { return xmlTextReaderDepth(reader_); }
  // The node's local name, interned in the reader's dictionary: compare it by pointer with
  // a name from intern().
  const xmlChar* localName() const { return xmlTextReaderConstLocalName(reader_); }
  const xmlChar* namespaceUri() const { return xmlTextReaderConstNamespaceUri(reader_); }
  const xmlChar* intern(const char* name) {
    return xmlTextReaderConstString(reader_, reinterpret_cast<const xmlChar*>(name));
  }
  // The character data of a text node.
  std::string_view text() const {
    const xmlChar* v = xmlTextReaderConstValue(reader_);
    return v ? std::string_view(reinterpret_cast<const char*>(v)) : std::string_view();
  }

  // Attributes of the current element: moves to the first or next one (false when there
  // is none left); attrName and attrValue then describe it. backToElement() returns.
  bool firstAttribute() { return xmlTextReaderMoveToFirstAttribute(reader_) == 1; }
  bool nextAttribute() { return xmlTextReaderMoveToNextAttribute(reader_) == 1; }
  void backToElement() { xmlTextReaderMoveToElement(reader_); }
  // The value of the current element's attribute of local name `name`, nullopt when it
  // has none (for the small parts; hot loops walk the attributes themselves).
  std::optional<std::string> attribute(const char* name);
  const xmlChar* attrName() const { return xmlTextReaderConstLocalName(reader_); }
  const xmlChar* attrNamespace() const { return xmlTextReaderConstNamespaceUri(reader_); }
  std::string_view attrValue() const { return text(); }

  const std::string& where() const { return where_; }
  // An EngineError(BadInput) naming the part and the line being read.
  [[noreturn]] void fail(const std::string& why) const;

 private:
  static int readCallback(void* context, char* buffer, int length);
  void checkProlog(const char* data, size_t length);
  [[noreturn]] void raiseReaderError();

  GPtr<GsfInput> part_;
  std::string where_;
  xmlTextReaderPtr reader_ = nullptr;
  int type_ = 0;
  std::string firstError_;
  bool inflateFailed_ = false;
  bool doctypeFound_ = false;
  // Prolog scan state: bytes of the prolog seen so far, until the root element starts.
  std::string prolog_;
  bool prologDone_ = false;
};

}  // namespace tabulor::workbook
