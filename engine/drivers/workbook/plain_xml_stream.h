// Plain XML: the strict subset of XML that office programs write (UTF-8, namespaces declared
// once on the root element, no CDATA, no processing instructions, no DTD), the check that
// tells whether a part keeps to it (run during the tag scan of the first pass), and a
// streaming reader of it that gives the same events as libxml2's SAX2 parser (SaxStream).
//
// Why a second reader: libxml2 spends most of its time per node (name lookups in its
// dictionary, namespace resolution, attribute arrays); on a content.xml of 750 MB (a million
// rows of eight cells) it took 1.8 s of CPU with empty callbacks, where a tag scan of the same
// bytes takes little more than inflating them. Whatever lies outside the subset still goes to
// libxml2, so that this reader only has to be exact on a small, well-understood grammar.
#pragma once

#include <libxml/xmlstring.h>

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/drivers/workbook/part_inflater.h"
#include "engine/drivers/workbook/sax_stream.h"

namespace tabulor::workbook {

// Decides, from what the tag scan sees, whether a part is plain XML. Prefixes can be pinned
// to their namespace: the part is then plain only where a pinned prefix is declared with its
// namespace and no other prefix is bound to that namespace.
class PlainXmlCheck {
 public:
  void pin(std::string prefix, std::string uri) { pinned_.emplace_back(prefix, uri); }
  // The first bytes of the part (at least the XML declaration, when there is one).
  void onStart(std::string_view head);
  // Markup other than tags and comments: a processing instruction (the XML declaration
  // included), a CDATA section.
  void onProcessingInstruction() { ++instructions_; }
  void onCdata() { plain_ = false; }
  // A start or end tag (its text between "<" and ">").
  void onTag(std::string_view tag, bool end);
  bool plain() const { return plain_ && instructions_ == (declaration_ ? 1 : 0); }

 private:
  void onRoot(std::string_view tag);

  std::vector<std::pair<std::string, std::string>> pinned_;
  bool plain_ = true, declaration_ = false, rootSeen_ = false;
  size_t instructions_ = 0;
};

class PlainXmlStream : public XmlEventStream {
 public:
  // Takes the part stream; `where` names file and part in messages. The part must have
  // passed a PlainXmlCheck: markup outside the subset is refused as a damaged part.
  PlainXmlStream(GPtr<GsfInput> part, std::string where);

  const xmlChar* intern(const char* name) override;
  bool feed(SaxHandler& handler) override;
  void fail(std::string why) override;
  void stop() override { stopped_ = true; }

  // The name handed out for every local name that was not interned.
  static const xmlChar* otherName();

 private:
  struct Name {
    const xmlChar* local = nullptr;
    const xmlChar* uri = nullptr;
  };
  // The key a name is cached by: its length and first and last eight bytes.
  struct NameKey {
    uint64_t head, tail;
    size_t size;
    explicit NameKey(std::string_view name);
    bool same(const NameKey& other, std::string_view name, std::string_view otherName) const;
  };
  struct CachedName {
    std::string qname;
    NameKey key;
    Name name;
  };
  // An attribute of the tag being read: its value in the buffer, or in decoded_.
  struct RawAttribute {
    std::string_view name;
    NameKey key;
    const char *value = nullptr, *valueEnd = nullptr;
    size_t decodedBegin = 0, decodedEnd = 0;
    bool decoded = false;
  };

  size_t parse(const char* begin, const char* end, bool last);
  const char* text(const char* p, const char* end, bool last);
  const char* markup(const char* p, const char* end, bool last);
  const char* startTag(const char* p, const char* end, bool last);
  const char* endTag(const char* p, const char* end, bool last);
  const char* reference(const char* p, const char* end, bool last, std::string& out);
  Name lookup(std::string_view qname) { return lookup(qname, NameKey(qname)); }
  Name lookup(std::string_view qname, const NameKey& key);
  Name resolve(std::string_view qname) const;
  void deliver(const char* begin, const char* end);
  [[noreturn]] void malformed(const char* at, const std::string& why);
  [[noreturn]] void raise();

  PartInflater part_;
  std::string where_;
  SaxHandler* handler_ = nullptr;
  bool finished_ = false, stopped_ = false, started_ = false, rootSeen_ = false,
       rootClosed_ = false;
  std::string error_;

  std::string carry_;             // an incomplete token from the end of the last slice
  uint64_t carryOffset_ = 0;      // of carry_, in the part
  uint64_t sliceOffset_ = 0;      // of the slice being read, in the part
  uint64_t offset_ = 0;           // of the buffer being parsed, in the part
  const char* base_ = nullptr;    // that buffer
  const char* lastGt_ = nullptr;  // in it, the end of the last tag that may be read
  uint64_t eventOffset_ = 0;      // of the tag being handed out, in the part

  // Open elements: their qualified names, end to end.
  std::string names_;
  std::vector<size_t> nameEnds_;

  // Interned names, the namespaces the root declares, and qualified names already resolved.
  std::deque<std::string> interned_;
  std::vector<std::pair<std::string, std::string>> namespaces_;
  std::vector<CachedName> cache_;
  std::vector<int> slots_;

  // The attributes of the tag being handed out, as libxml2 lays them out (five pointers
  // each), and the values that had to be decoded.
  std::vector<const xmlChar*> attributes_;
  std::vector<RawAttribute> raw_;
  std::vector<std::pair<std::string_view, std::string_view>> declarations_;
  std::string decoded_;
  std::string reference_;
};

}  // namespace tabulor::workbook
