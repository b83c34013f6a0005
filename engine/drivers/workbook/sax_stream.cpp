// libxml2's SAX2 push parser fed from a libgsf stream, with the prolog checked for a
// document type declaration before the parser gets it.
#include "engine/drivers/workbook/sax_stream.h"

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstring>

#include "engine/engine_error.h"

namespace tabulor::workbook {

namespace {

void initLibxml() {
  static const bool done = [] {
    xmlInitParser();
    return true;
  }();
  (void)done;
}

}  // namespace

SaxStream::SaxStream(GPtr<GsfInput> part, std::string where)
    : part_(std::move(part), where), where_(std::move(where)) {
  initLibxml();
}

SaxStream::~SaxStream() {
  if (ctxt_) {
    if (ctxt_->myDoc) xmlFreeDoc(ctxt_->myDoc);
    xmlFreeParserCtxt(ctxt_);
  }
}

void SaxStream::onStart(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar* uri,
                        int, const xmlChar**, int nbAttributes, int, const xmlChar** attributes) {
  auto* self = static_cast<SaxStream*>(ctx);
  self->handler_->startElement(localname, uri, XmlAttributes(attributes, nbAttributes));
}

void SaxStream::onEnd(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*) {
  static_cast<SaxStream*>(ctx)->handler_->endElement(localname);
}

void SaxStream::onCharacters(void* ctx, const xmlChar* ch, int len) {
  static_cast<SaxStream*>(ctx)->handler_->characters(
      std::string_view(reinterpret_cast<const char*>(ch), static_cast<size_t>(len)));
}

void SaxStream::onDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* self = static_cast<SaxStream*>(ctx);
  self->doctypeFound_ = true;
  if (self->ctxt_) xmlStopParser(self->ctxt_);
}

void SaxStream::recordError(int level, int line, const char* message) {
  // Warnings (a relative namespace URI, say) do not stop the parse; the first error does.
  if (level < XML_ERR_ERROR || !firstError_.empty() || !message) return;
  std::string text = message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  firstError_ = "line " + std::to_string(line) + ": " + text;
}

// The parser context is made before the first byte is read, since intern() needs its
// dictionary; the encoding is then detected from the first slice.
void SaxStream::start() {
  if (ctxt_) return;
  {
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &SaxStream::onStart;
    sax.endElementNs = &SaxStream::onEnd;
    sax.characters = &SaxStream::onCharacters;
    sax.ignorableWhitespace = &SaxStream::onCharacters;
    sax.internalSubset = &SaxStream::onDoctype;
    // A lambda with an `auto` parameter fits both the older (xmlErrorPtr) and the newer
    // (const xmlError*) form of libxml2's structured error callback.
    sax.serror = [](void* ctx, auto error) {
      if (error)
        static_cast<SaxStream*>(ctx)->recordError(error->level, error->line, error->message);
    };
    ctxt_ = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
    if (!ctxt_) throw EngineError(ErrorKind::BadInput, where_ + ": the XML parser cannot start");
    // No DTD loading, no network, no huge nodes: a single token is then limited to
    // libxml2's 10 MB. XML_PARSE_NOENT, since without it libxml2 hands "&amp;" in an
    // attribute value out as "&#38;"; a document type declaration, the only place other
    // entities could be defined, is refused before the parser reads it.
    xmlCtxtUseOptions(ctxt_, XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_NOERROR |
                                 XML_PARSE_NOWARNING | XML_PARSE_NOENT);
  }
}

const xmlChar* SaxStream::intern(const char* name) {
  start();
  return xmlDictLookup(ctxt_->dict, reinterpret_cast<const xmlChar*>(name), -1);
}

void SaxStream::fail(std::string why) {
  if (!error_.empty()) return;
  int line = ctxt_ ? xmlSAX2GetLineNumber(ctxt_) : 0;
  error_ = (line > 0 ? " (line " + std::to_string(line) + "): " : std::string(": ")) + why;
  if (ctxt_) xmlStopParser(ctxt_);
}

void SaxStream::stop() {
  stopped_ = true;
  if (ctxt_) xmlStopParser(ctxt_);
}

void SaxStream::raise() {
  finished_ = true;
  if (!error_.empty()) throw EngineError(ErrorKind::BadInput, where_ + error_);
  if (doctypeFound_)
    throw EngineError(ErrorKind::BadInput,
                      where_ +
                          ": the part has a document type declaration (DTD), which workbooks "
                          "never have; it is refused, since that is where entity expansion "
                          "attacks live");
  std::string at = handler_ ? handler_->location() : std::string();
  throw EngineError(ErrorKind::BadInput,
                    where_ + " is not well-formed XML (" +
                        (firstError_.empty() ? std::string("damaged file") : firstError_) +
                        (at.empty() ? "" : ", in " + at) + ")");
}

bool SaxStream::feed(SaxHandler& handler) {
  if (finished_) return false;
  start();
  handler_ = &handler;
  if (stopped()) {
    if (!error_.empty()) raise();
    finished_ = true;
    return false;
  }
  std::string_view slice;
  try {
    slice = part_.next();
  } catch (const EngineError&) {
    finished_ = true;
    throw;
  }
  const char* data = slice.data();
  size_t n = slice.size();
  if (n > 0 && !prologDone_) {
    checkProlog(data, n);
    if (doctypeFound_) raise();
  }
  xmlParseChunk(ctxt_, data, static_cast<int>(n), n == 0 ? 1 : 0);
  if (stopped_ && error_.empty() && !doctypeFound_) {
    finished_ = true;
    return false;
  }
  if (!error_.empty() || doctypeFound_ || !ctxt_->wellFormed) raise();
  if (n == 0) finished_ = true;
  return !finished_;
}

// Looks at the bytes before the root element: the XML declaration, comments, processing
// instructions and white space pass; "<!DOCTYPE" is refused. Parts in UTF-16 are not
// looked at here (the parser's doctype callback still refuses them).
void SaxStream::checkProlog(const char* data, size_t length) {
  prolog_.append(data, std::min<size_t>(length, 65536 - std::min<size_t>(prolog_.size(), 65536)));
  size_t i = 0;
  const std::string& p = prolog_;
  if (p.size() >= 3 && p.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < p.size()) {
    char c = p[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '<') {
      prologDone_ = true;  // not UTF-8 text the scan understands: leave it to the parser
      break;
    }
    if (i + 1 >= p.size()) return;  // need more bytes
    if (p[i + 1] == '?') {
      size_t end = p.find("?>", i + 2);
      if (end == std::string::npos) break;
      i = end + 2;
    } else if (p[i + 1] == '!') {
      if (p.size() - i < 9) return;
      if (p.compare(i, 4, "<!--") == 0) {
        size_t end = p.find("-->", i + 4);
        if (end == std::string::npos) break;
        i = end + 3;
      } else {
        if (p.compare(i, 9, "<!DOCTYPE") == 0) doctypeFound_ = true;
        prologDone_ = true;
        break;
      }
    } else {
      prologDone_ = true;  // the root element
      break;
    }
  }
  if (prolog_.size() >= 65536) prologDone_ = true;  // a prolog that long is the parser's matter
  if (prologDone_) {
    prolog_.clear();
    prolog_.shrink_to_fit();
  }
}

void readStartTags(GPtr<GsfInput> part, std::string where,
                   const std::function<void(std::string_view name, const xmlChar* uri,
                                            const XmlAttributes& attributes, int depth)>& onStart) {
  struct Handler : SaxHandler {
    const std::function<void(std::string_view, const xmlChar*, const XmlAttributes&, int)>& call;
    int depth = 0;
    explicit Handler(const decltype(call)& c) : call(c) {}
    void startElement(const xmlChar* name, const xmlChar* uri,
                      const XmlAttributes& attributes) override {
      call(reinterpret_cast<const char*>(name), uri, attributes, depth++);
    }
    void endElement(const xmlChar*) override { --depth; }
    void characters(std::string_view) override {}
  } handler(onStart);
  SaxStream xml(std::move(part), std::move(where));
  xml.parseAll(handler);
}

}  // namespace tabulor::workbook
