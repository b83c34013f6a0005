// xmlTextReader fed from a libgsf stream, with the prolog checked for a document type
// declaration before the parser gets it.
#include "engine/drivers/workbook/xml_stream.h"

#include <libxml/parser.h>

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

XmlStream::XmlStream(GPtr<GsfInput> part, std::string where)
    : part_(std::move(part)), where_(std::move(where)) {
  initLibxml();
  // No XML_PARSE_NOENT (entities stay references), no DTD loading, no network, no huge
  // nodes: a single text node is then limited to libxml2's 10 MB.
  reader_ = xmlReaderForIO(&XmlStream::readCallback, nullptr, this, nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_COMPACT |
                               XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!reader_) fail("the XML reader cannot be created");
  xmlTextReaderSetStructuredErrorHandler(
      reader_,
      [](void* arg, xmlErrorPtr error) {
        auto* self = static_cast<XmlStream*>(arg);
        if (self->firstError_.empty() && error && error->message) {
          std::string message = error->message;
          while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
          self->firstError_ = "line " + std::to_string(error->line) + ": " + message;
        }
      },
      this);
}

XmlStream::~XmlStream() {
  if (reader_) xmlFreeTextReader(reader_);
}

void XmlStream::fail(const std::string& why) const {
  std::string line;
  if (reader_) {
    int n = xmlTextReaderGetParserLineNumber(reader_);
    if (n > 0) line = " (line " + std::to_string(n) + ")";
  }
  throw EngineError(ErrorKind::BadInput, where_ + line + ": " + why);
}

void XmlStream::raiseReaderError() {
  if (doctypeFound_)
    fail(
        "the part has a document type declaration (DTD), which workbooks never have; it is "
        "refused, since that is where entity expansion attacks live");
  if (inflateFailed_)
    throw EngineError(ErrorKind::BadInput,
                      where_ + " cannot be inflated: the zip file is damaged or truncated");
  throw EngineError(ErrorKind::BadInput,
                    where_ + " is not well-formed XML (" +
                        (firstError_.empty() ? std::string("damaged file") : firstError_) + ")");
}

bool XmlStream::next() {
  int r = xmlTextReaderRead(reader_);
  if (r < 0 || doctypeFound_ || inflateFailed_) raiseReaderError();
  if (r == 0) {
    type_ = 0;
    return false;
  }
  type_ = xmlTextReaderNodeType(reader_);
  if (type_ == XML_READER_TYPE_DOCUMENT_TYPE) {
    doctypeFound_ = true;
    raiseReaderError();
  }
  return true;
}

std::optional<std::string> XmlStream::attribute(const char* name) {
  std::optional<std::string> out;
  if (!firstAttribute()) return out;
  do {
    const xmlChar* n = attrName();
    if (n && std::strcmp(reinterpret_cast<const char*>(n), name) == 0) {
      out = std::string(attrValue());
      break;
    }
  } while (nextAttribute());
  backToElement();
  return out;
}

bool XmlStream::skipSubtree() {
  int r = xmlTextReaderNext(reader_);
  if (r < 0 || doctypeFound_ || inflateFailed_) raiseReaderError();
  if (r == 0) {
    type_ = 0;
    return false;
  }
  type_ = xmlTextReaderNodeType(reader_);
  return true;
}

// Looks at the bytes before the root element: the XML declaration, comments, processing
// instructions and white space pass; "<!DOCTYPE" is refused. Parts in UTF-16 are not
// looked at here (the DOCTYPE node check in next() still refuses them, later).
void XmlStream::checkProlog(const char* data, size_t length) {
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
      return;
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
        return;
      }
    } else {
      prologDone_ = true;  // the root element
      return;
    }
  }
  if (prolog_.size() >= 65536) prologDone_ = true;  // a prolog that long is the parser's matter
}

int XmlStream::readCallback(void* context, char* buffer, int length) {
  auto* self = static_cast<XmlStream*>(context);
  if (self->doctypeFound_) return -1;
  gsf_off_t remaining = gsf_input_remaining(self->part_.get());
  if (remaining <= 0) return 0;
  size_t n = static_cast<size_t>(std::min<gsf_off_t>(remaining, length));
  if (!gsf_input_read(self->part_.get(), n, reinterpret_cast<guint8*>(buffer))) {
    self->inflateFailed_ = true;
    return -1;
  }
  if (!self->prologDone_) {
    self->checkProlog(buffer, n);
    if (self->doctypeFound_) return -1;
  }
  return static_cast<int>(n);
}

}  // namespace tabulor::workbook
