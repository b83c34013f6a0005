// A streaming XML parser over one part of a zip package: libxml2's SAX2 push parser fed
// with the part's inflated slices (see PartInflater), calling a handler for every start
// tag, end tag and run of character data. Network access is off, the only entities are
// XML's own and character references, and a part with a document type declaration is
// refused before the parser sees it (workbook parts never have one, and it is where entity
// bombs live). Memory stays the same whatever the size of the part: a slice is parsed
// before the next is asked for, and the inflater keeps only a few ahead.
//
// Why SAX and not libxml2's xmlTextReader: the reader builds a node for every element,
// attribute and text and is asked for each through a function call, which made it the
// larger part of the time of reading a sheet of a million rows; the push parser hands
// names and attribute values out as pointers into its own buffer, and the caller decides
// how much to parse before it takes the results (a slice at a time), so a table cursor
// still pulls rows at its own pace.
#pragma once

#include <libxml/parser.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/drivers/workbook/part_inflater.h"
#include "engine/drivers/workbook/zip_package.h"

namespace tabulor::workbook {

// The attributes of a start tag as libxml2 gives them: local name, namespace URI and value
// per attribute, valid during the handler call only. Names are interned: compare them by
// pointer with names from SaxStream::intern().
class XmlAttributes {
 public:
  XmlAttributes(const xmlChar** attrs, int count) : attrs_(attrs), count_(count) {}
  int size() const { return count_; }
  const xmlChar* name(int i) const { return attrs_[5 * i]; }
  const xmlChar* uri(int i) const { return attrs_[5 * i + 2]; }
  std::string_view value(int i) const {
    const xmlChar* begin = attrs_[5 * i + 3];
    return {reinterpret_cast<const char*>(begin), static_cast<size_t>(attrs_[5 * i + 4] - begin)};
  }
  // The value of the attribute of interned local name `name` (any namespace); `found` says
  // whether there is one.
  std::string_view find(const xmlChar* name, bool* found = nullptr) const {
    for (int i = 0; i < count_; ++i)
      if (attrs_[5 * i] == name) {
        if (found) *found = true;
        return value(i);
      }
    if (found) *found = false;
    return {};
  }
  // The same by spelling, for the small parts: nullopt when there is none.
  std::optional<std::string_view> get(const char* name) const {
    for (int i = 0; i < count_; ++i)
      if (std::strcmp(reinterpret_cast<const char*>(attrs_[5 * i]), name) == 0) return value(i);
    return std::nullopt;
  }

 private:
  const xmlChar** attrs_;
  int count_;
};

class SaxHandler {
 public:
  virtual ~SaxHandler() = default;
  // `name` is the local name, interned; `uri` the namespace URI or nullptr.
  virtual void startElement(const xmlChar* name, const xmlChar* uri,
                            const XmlAttributes& attributes) = 0;
  virtual void endElement(const xmlChar* name) = 0;
  // Character data (text, CDATA sections and white space), possibly in several runs.
  virtual void characters(std::string_view text) = 0;
  // Where the handler stands in its data ("row 12, column C"), for the message of a part
  // that turns out not to be well formed; empty when it has nothing to add.
  virtual std::string location() const { return {}; }
};

// A stream of XML events over one part, parsed a slice at a time: libxml2's (SaxStream), or
// the plain-XML scanner (PlainXmlStream) for parts that keep to the subset it reads.
class XmlEventStream {
 public:
  virtual ~XmlEventStream() = default;
  // The interned form of `name`, equal by pointer to the names the handler receives.
  virtual const xmlChar* intern(const char* name) = 0;
  // Parses the next slice of the part, calling `handler`; false once the document is
  // complete (or stop() was called). Throws EngineError(BadInput) naming the part for XML
  // that is not well formed, a part that cannot be inflated, or a fail() of the handler.
  virtual bool feed(SaxHandler& handler) = 0;
  // For handlers: ends the parse with `why`, which the current feed() throws as an
  // EngineError(BadInput) naming the part. The first call wins. Handlers must not throw.
  virtual void fail(std::string why) = 0;
  // For handlers: ends the parse after the current event; the rest of the part is not read.
  virtual void stop() = 0;
};

class SaxStream : public XmlEventStream {
 public:
  // Takes the part stream; `where` names file and part in messages ("book.xlsx, part
  // xl/workbook.xml").
  SaxStream(GPtr<GsfInput> part, std::string where);
  ~SaxStream();
  SaxStream(const SaxStream&) = delete;
  SaxStream& operator=(const SaxStream&) = delete;

  const xmlChar* intern(const char* name) override;

  // Inflates and parses the next slice of the part, calling `handler`; false once the
  // document is complete (or stop() was called). Throws EngineError(BadInput), naming the
  // part and line, for XML that is not well formed, a document type declaration, a part
  // that cannot be inflated, or a fail() of the handler.
  bool feed(SaxHandler& handler) override;
  // Parses the part to its end (or to a stop()).
  void parseAll(SaxHandler& handler) {
    while (feed(handler)) {
    }
  }

  // For handlers: ends the parse with `why`, which the current feed() throws as an
  // EngineError(BadInput) naming the part and the line. The first call wins. Handlers must
  // not throw: libxml2's C frames would be left in the middle of a parse.
  void fail(std::string why) override;
  // For handlers: ends the parse after the current event; the rest of the part is not read.
  void stop() override;
  bool stopped() const { return stopped_ || !error_.empty(); }

  const std::string& where() const { return where_; }

 private:
  static void onStart(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                      const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                      int nbAttributes, int nbDefaulted, const xmlChar** attributes);
  static void onEnd(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri);
  static void onCharacters(void* ctx, const xmlChar* ch, int len);
  static void onDoctype(void* ctx, const xmlChar* name, const xmlChar* externalId,
                        const xmlChar* systemId);
  void start();
  void recordError(int level, int line, const char* message);
  void checkProlog(const char* data, size_t length);
  [[noreturn]] void raise();

  PartInflater part_;
  std::string where_;
  SaxHandler* handler_ = nullptr;
  xmlParserCtxtPtr ctxt_ = nullptr;
  bool finished_ = false, stopped_ = false;
  bool doctypeFound_ = false;
  std::string error_;       // set by fail(): the handler's reason, with its line
  std::string firstError_;  // libxml2's first error message, with its line
  std::string prolog_;      // bytes before the root element, until it starts
  bool prologDone_ = false;
};

// Parses the whole of a small part (relationships, the workbook part, styles), calling
// `onStart` with the local name, namespace URI, attributes and depth (0 for the root) of
// every start tag. Throws as SaxStream::feed does.
void readStartTags(GPtr<GsfInput> part, std::string where,
                   const std::function<void(std::string_view name, const xmlChar* uri,
                                            const XmlAttributes& attributes, int depth)>& onStart);

}  // namespace tabulor::workbook
