// The plain-XML check and reader: a tokenizer over the inflated slices that keeps an
// incomplete token from one slice to the next, checks what libxml2 checks on the grammar it
// reads (names, quoting, references, characters, matching end tags) and refuses the rest.
#include "engine/drivers/workbook/plain_xml_stream.h"

#include <algorithm>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/drivers/workbook/tag_scan.h"
#include "engine/engine_error.h"
#include "engine/text_codec.h"

namespace tabulor::workbook {

namespace {

// A single token (a tag, a comment, a reference) may be this long; libxml2 refuses values
// and comments past 10,000,000 bytes itself.
constexpr size_t MaxTokenBytes = size_t(16) << 20;
// Open elements at most: memory for their names stays small whatever the part holds.
constexpr size_t MaxDepth = size_t(1) << 20;
constexpr const char* XmlNs = "http://www.w3.org/XML/1998/namespace";
const xmlChar OtherName[] = "";

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Characters of names: ASCII letters, digits and "-._:" and every byte of a multi-byte
// UTF-8 character (not told apart further: such names never match an interned one).
constexpr bool nameStartChar(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
constexpr bool nameChar(int c) {
  return nameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
struct NameChars {
  std::array<bool, 256> start{}, rest{};
  constexpr NameChars() {
    for (int c = 0; c < 256; ++c) start[c] = nameStartChar(c), rest[c] = nameChar(c);
  }
};
constexpr NameChars Names;

// The end of the name starting at p (p itself when there is none).
const char* scanName(const char* p, const char* end) {
  const NameChars& n = Names;
  if (p == end || !n.start[static_cast<unsigned char>(*p)]) return p;
  ++p;
  while (p < end && n.rest[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// The first '<', '&', control character or byte of a multi-byte character in [p, end), or
// end: sixteen bytes at a time where the processor has SSE2.
const char* nextTextMark(const char* p, const char* end) {
#ifdef __SSE2__
  const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&'), low = _mm_set1_epi8(0x20);
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Signed: bytes of 0x80 and above count as below 0x20.
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)),
                               _mm_cmplt_epi8(v, low));
    int mask = _mm_movemask_epi8(hit);
    if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && *p != '<' && *p != '&' && static_cast<signed char>(*p) >= 0x20) ++p;
  return p;
}

// The first eight bytes of a name (fewer, zero-padded), as one number.
uint64_t nameWord(const char* p, size_t n) {
  uint64_t v = 0;
  if (n >= 8)
    std::memcpy(&v, p, 8);
  else
    for (size_t i = 0; i < n; ++i) v |= uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
  return v;
}

bool allowedChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of the UTF-8 character at p, which must be one XML allows: 0 when it is not,
// -1 when it may be but runs past `end`.
int utf8Char(const char* at, const char* end) {
  auto p = reinterpret_cast<const unsigned char*>(at);
  auto e = reinterpret_cast<const unsigned char*>(end);
  unsigned c = p[0];
  int n;
  uint32_t cp;
  if (c < 0xC2) return 0;
  if (c < 0xE0)
    n = 2, cp = c & 0x1F;
  else if (c < 0xF0)
    n = 3, cp = c & 0x0F;
  else if (c < 0xF5)
    n = 4, cp = c & 0x07;
  else
    return 0;
  for (int i = 1; i < n; ++i) {
    if (p + i >= e) return -1;
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (p[i] & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || !allowedChar(cp)) return 0;
  return n;
}

std::string shown(std::string_view text) {
  return std::string(text.substr(0, 40)) + (text.size() > 40 ? "..." : "");
}

}  // namespace

// ---- The check -------------------------------------------------------------------------

void PlainXmlCheck::onStart(std::string_view head) {
  size_t i = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (i >= head.size()) return;
  if (head.compare(i, 5, "<?xml") != 0 || i + 5 >= head.size() || !blank(head[i + 5])) {
    // No declaration: UTF-8, unless the bytes say otherwise (another encoding detected
    // from the first bytes is libxml2's matter).
    if (head[i] != '<' && !blank(head[i])) plain_ = false;
    return;
  }
  declaration_ = true;
  size_t close = head.find("?>", i);
  if (close == std::string_view::npos) {
    plain_ = false;
    return;
  }
  // version="1.0", then optionally encoding="UTF-8" and standalone="yes"|"no", in order.
  std::string_view decl = head.substr(i + 5, close - i - 5);
  std::vector<std::pair<std::string_view, std::string_view>> pseudo;
  size_t at = 0;
  for (;;) {
    size_t from = at;
    while (at < decl.size() && blank(decl[at])) ++at;
    if (at == decl.size()) break;
    if (at == from) return void(plain_ = false);
    size_t nameStart = at;
    while (at < decl.size() && decl[at] >= 'a' && decl[at] <= 'z') ++at;
    std::string_view name = decl.substr(nameStart, at - nameStart);
    while (at < decl.size() && blank(decl[at])) ++at;
    if (at == decl.size() || decl[at] != '=') return void(plain_ = false);
    ++at;
    while (at < decl.size() && blank(decl[at])) ++at;
    if (at == decl.size() || (decl[at] != '"' && decl[at] != '\'')) return void(plain_ = false);
    size_t end = decl.find(decl[at], at + 1);
    if (end == std::string_view::npos) return void(plain_ = false);
    pseudo.emplace_back(name, decl.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  auto lower = [](std::string_view s) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  };
  size_t k = 0;
  if (k >= pseudo.size() || pseudo[k].first != "version" || pseudo[k].second != "1.0")
    return void(plain_ = false);
  ++k;
  if (k < pseudo.size() && pseudo[k].first == "encoding") {
    if (lower(pseudo[k].second) != "utf-8") return void(plain_ = false);
    ++k;
  }
  if (k < pseudo.size() && pseudo[k].first == "standalone" &&
      (pseudo[k].second == "yes" || pseudo[k].second == "no"))
    ++k;
  if (k != pseudo.size()) plain_ = false;
}

void PlainXmlCheck::onTag(std::string_view tag, bool end) {
  if (!rootSeen_) {
    rootSeen_ = true;
    if (end)
      plain_ = false;
    else
      onRoot(tag);
    return;
  }
  if (end || !plain_) return;
  // A namespace declaration below the root could rebind a prefix: the part is libxml2's.
  // (Looked for anywhere in the tag: a value holding the word costs a slower read, no more.)
  const char* p = tag.data();
  const char* e = p + tag.size();
  while ((p = findByte(p, e, 'x'))) {
    if (e - p >= 5 && std::memcmp(p, "xmlns", 5) == 0) {
      plain_ = false;
      return;
    }
    ++p;
  }
}

void PlainXmlCheck::onRoot(std::string_view tag) {
  // A tag cut short by the scan may hide declarations.
  if (tag.size() >= (size_t(1) << 16) - 1) return void(plain_ = false);
  std::vector<std::string_view> uris = {XmlNs};
  std::vector<std::string_view> prefixes;
  forEachTagAttribute(
      tag,
      [&](std::string_view name, std::string_view value) {
        if (name.substr(0, 5) != "xmlns") return true;
        if (name.size() == 5 || name[5] != ':') {
          // The default namespace, or a name such as "xmlnsx": left to libxml2.
          plain_ = false;
          return false;
        }
        std::string_view prefix = name.substr(6);
        bool plainValue = !value.empty();
        for (char c : value)
          if (c <= ' ' || c >= 0x7F || c == '&' || c == '<' || c == '"' || c == '\'')
            plainValue = false;
        if (!plainValue || prefix.empty() || prefix == "xml" || prefix == "xmlns" ||
            std::find(uris.begin(), uris.end(), value) != uris.end() ||
            std::find(prefixes.begin(), prefixes.end(), prefix) != prefixes.end()) {
          plain_ = false;
          return false;
        }
        for (const auto& [pinnedPrefix, pinnedUri] : pinned_)
          if ((prefix == pinnedPrefix) != (value == pinnedUri)) {
            plain_ = false;
            return false;
          }
        uris.push_back(value);
        prefixes.push_back(prefix);
        return true;
      },
      true);
}

// ---- The reader ------------------------------------------------------------------------

PlainXmlStream::PlainXmlStream(GPtr<GsfInput> part, std::string where)
    : part_(std::move(part), where), where_(std::move(where)) {
  slots_.assign(1024, -1);
}

const xmlChar* PlainXmlStream::otherName() {
  return OtherName;
}

const xmlChar* PlainXmlStream::intern(const char* name) {
  for (const std::string& s : interned_)
    if (s == name) return reinterpret_cast<const xmlChar*>(s.c_str());
  interned_.emplace_back(name);
  cache_.clear();
  std::fill(slots_.begin(), slots_.end(), -1);
  return reinterpret_cast<const xmlChar*>(interned_.back().c_str());
}

void PlainXmlStream::fail(std::string why) {
  if (!error_.empty()) return;
  error_ = " (byte " + std::to_string(eventOffset_) + "): " + why;
}

void PlainXmlStream::raise() {
  finished_ = true;
  throw EngineError(ErrorKind::BadInput, where_ + error_);
}

void PlainXmlStream::malformed(const char* at, const std::string& why) {
  finished_ = true;
  std::string location = handler_ ? handler_->location() : std::string();
  throw EngineError(ErrorKind::BadInput,
                    where_ + " is not well-formed XML (byte " +
                        std::to_string(offset_ + static_cast<uint64_t>(at - base_)) + ": " + why +
                        (location.empty() ? "" : ", in " + location) + ")");
}

PlainXmlStream::Name PlainXmlStream::resolve(std::string_view qname) const {
  // As libxml2 splits a qualified name: at its first colon, unless that begins or ends it or
  // the local part cannot begin a name.
  std::string_view local = qname, prefix;
  size_t colon = qname.find(':');
  if (colon != std::string_view::npos && colon > 0 && colon + 1 < qname.size() &&
      Names.start[static_cast<unsigned char>(qname[colon + 1])] && qname[colon + 1] != ':') {
    prefix = qname.substr(0, colon);
    local = qname.substr(colon + 1);
  }
  Name name{OtherName, nullptr};
  for (const std::string& s : interned_)
    if (s == local) name.local = reinterpret_cast<const xmlChar*>(s.c_str());
  if (prefix == "xml") {
    name.uri = reinterpret_cast<const xmlChar*>(XmlNs);
  } else {
    for (const auto& [p, uri] : namespaces_)
      if (p == prefix) name.uri = reinterpret_cast<const xmlChar*>(uri.c_str());
  }
  return name;
}

PlainXmlStream::NameKey::NameKey(std::string_view name)
    : head(nameWord(name.data(), name.size())),
      tail(name.size() > 8 ? nameWord(name.data() + name.size() - 8, 8) : 0),
      size(name.size()) {}

bool PlainXmlStream::NameKey::same(const NameKey& other, std::string_view name,
                                   std::string_view otherName) const {
  // Names of up to sixteen bytes are wholly in the key; longer ones are compared in full
  // only when their keys agree.
  return head == other.head && tail == other.tail && size == other.size &&
         (size <= 16 || std::memcmp(name.data() + 8, otherName.data() + 8, size - 16) == 0);
}

PlainXmlStream::Name PlainXmlStream::lookup(std::string_view qname, const NameKey& key) {
  uint64_t h = (key.head * 0x9E3779B97F4A7C15ull) ^ (key.tail * 0xC2B2AE3D27D4EB4Full) ^ key.size;
  const size_t mask = slots_.size() - 1;
  size_t i = static_cast<size_t>(h >> 40) & mask;
  for (; slots_[i] >= 0; i = (i + 1) & mask) {
    const CachedName& c = cache_[static_cast<size_t>(slots_[i])];
    if (key.same(c.key, qname, c.qname)) return c.name;
  }
  Name name = resolve(qname);
  if (cache_.size() < slots_.size() / 2) {
    slots_[i] = static_cast<int>(cache_.size());
    cache_.push_back({std::string(qname), key, name});
  }
  return name;
}

void PlainXmlStream::deliver(const char* begin, const char* end) {
  if (begin == end) return;
  if (nameEnds_.empty()) {
    // Outside the root element only blanks may stand, and they are nobody's text.
    for (const char* p = begin; p < end; ++p)
      if (!blank(*p))
        malformed(p, rootClosed_ ? "text after the root element" : "text before the root element");
    return;
  }
  if (!stopped_ && error_.empty())
    handler_->characters(std::string_view(begin, static_cast<size_t>(end - begin)));
}

// A character or entity reference at p ("&"), decoded onto `out`; the byte after it, or
// nullptr when it runs past `end` and more may come.
const char* PlainXmlStream::reference(const char* p, const char* end, bool last, std::string& out) {
  const char* q = p + 1;
  auto cutShort = [&]() -> const char* {
    if (!last && end - p < static_cast<ptrdiff_t>(MaxTokenBytes)) return nullptr;
    malformed(p, "a reference without its ';'");
  };
  if (q < end && *q == '#') {
    ++q;
    bool hex = q < end && *q == 'x';
    if (hex) ++q;
    const char* digits = q;
    uint32_t value = 0;
    for (; q < end; ++q) {
      char c = *q;
      uint32_t d;
      if (c >= '0' && c <= '9')
        d = static_cast<uint32_t>(c - '0');
      else if (hex && c >= 'a' && c <= 'f')
        d = static_cast<uint32_t>(c - 'a' + 10);
      else if (hex && c >= 'A' && c <= 'F')
        d = static_cast<uint32_t>(c - 'A' + 10);
      else
        break;
      value = std::min<uint32_t>(value * (hex ? 16 : 10) + d, 0x110000);
    }
    if (q == end) return cutShort();
    if (q == digits || *q != ';') malformed(p, "a malformed character reference");
    if (!allowedChar(value))
      malformed(p, "a character reference to a character that XML does not allow (" +
                       std::string(p, static_cast<size_t>(q + 1 - p)) + ")");
    appendUtf8(out, value);
    return q + 1;
  }
  const char* nameEnd = scanName(q, end);
  if (nameEnd == end) return cutShort();
  if (nameEnd == q) malformed(p, "a '&' that begins no reference");
  if (*nameEnd != ';') malformed(p, "a reference without its ';'");
  std::string_view name(q, static_cast<size_t>(nameEnd - q));
  if (name == "lt")
    out += '<';
  else if (name == "gt")
    out += '>';
  else if (name == "amp")
    out += '&';
  else if (name == "apos")
    out += '\'';
  else if (name == "quot")
    out += '"';
  else
    malformed(p, "the entity &" + shown(name) + "; is not defined");
  return nameEnd + 1;
}

const char* PlainXmlStream::text(const char* p, const char* end, bool last) {
  // Text is read as libxml2's push parser reads it: a short run at the end of a slice waits
  // for the markup after it (so that text at the end of the part's last slice, after what a
  // reader asked for, is looked at by neither reader), a long one is read as far as it is
  // complete.
  const char* bufferEnd = end;
  bool moreToCome = !last;
  if (const char* lt = findByte(p, end, '<')) {
    end = lt;
    last = true;
  } else if (!last && end - p < 300) {
    return p;
  }
  const char* run = p;
  while (p < end) {
    const char* m = nextTextMark(p, end);
    if (m == end) {
      p = end;
      break;
    }
    char c = *m;
    if (c == '<') {
      p = m;
      break;
    }
    if (c == '\n' || c == '\t') {
      p = m + 1;
      continue;
    }
    if (c == '&') {
      deliver(run, m);
      // libxml2 reads a reference once a ';' has come after it, anywhere.
      if (moreToCome && !std::memchr(m, ';', static_cast<size_t>(bufferEnd - m))) return m;
      reference_.clear();
      const char* after = reference(m, end, last, reference_);
      if (!after) return m;
      if (nameEnds_.empty()) malformed(m, "a reference outside the root element");
      deliver(reference_.data(), reference_.data() + reference_.size());
      p = run = after;
      continue;
    }
    if (c == '\r') {
      // CR LF and a lone CR are a line feed.
      deliver(run, m);
      if (m + 1 == end && !last) return m;
      deliver("\n", "\n" + 1);
      p = m + 1;
      if (p < end && *p == '\n') ++p;
      run = p;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) malformed(m, "a control character in the text");
    int n = utf8Char(m, end);
    if (n < 0 && !last) {
      deliver(run, m);
      return m;
    }
    if (n <= 0) malformed(m, "text that is not UTF-8");
    p = m + n;
  }
  deliver(run, p);
  return p;
}

const char* PlainXmlStream::endTag(const char* p, const char* end, bool last) {
  const char* gt = findByte(p, end, '>');
  if (!gt) {
    if (!last && end - p < static_cast<ptrdiff_t>(MaxTokenBytes)) return nullptr;
    malformed(p, "an end tag cut short");
  }
  const char* nameEnd = scanName(p + 2, gt);
  std::string_view qname(p + 2, static_cast<size_t>(nameEnd - p - 2));
  const char* q = nameEnd;
  while (q < gt && blank(*q)) ++q;
  if (qname.empty() || q != gt) malformed(p, "a malformed end tag");
  if (nameEnds_.empty()) malformed(p, "an end tag </" + shown(qname) + "> with no element open");
  size_t begin = nameEnds_.size() > 1 ? nameEnds_[nameEnds_.size() - 2] : 0;
  std::string_view open(names_.data() + begin, nameEnds_.back() - begin);
  if (open != qname)
    malformed(p, "the end tag </" + shown(qname) + "> does not close <" + shown(open) + ">");
  Name name = lookup(qname);
  nameEnds_.pop_back();
  names_.resize(begin);
  if (nameEnds_.empty()) rootClosed_ = true;
  eventOffset_ = offset_ + static_cast<uint64_t>(p - base_);
  handler_->endElement(name.local);
  return gt + 1;
}

const char* PlainXmlStream::startTag(const char* p, const char* end, bool last) {
  // Read in one go up to the end of the buffer: running into it means the tag goes on in
  // the next slice, and is read again whole from there.
  auto cutShort = [&]() -> const char* {
    if (!last && end - p < static_cast<ptrdiff_t>(MaxTokenBytes)) return nullptr;
    malformed(p, last ? "the part ends inside a tag" : "a tag longer than 16 MB");
  };
  const char* q = scanName(p + 1, end);
  if (q == end) return cutShort();
  if (q == p + 1) malformed(p, "a '<' that begins no tag");
  if (rootClosed_) malformed(p, "a second root element");
  std::string_view qname(p + 1, static_cast<size_t>(q - p - 1));
  raw_.clear();
  decoded_.clear();
  declarations_.clear();
  bool selfClosing = false;
  const char* gt;
  for (;;) {
    const char* from = q;
    while (q < end && blank(*q)) ++q;
    if (q == end) return cutShort();
    if (*q == '>') {
      gt = q;
      break;
    }
    if (*q == '/') {
      if (q + 1 == end) return cutShort();
      if (q[1] != '>') malformed(q, "a '/' inside a tag");
      selfClosing = true;
      gt = q + 1;
      break;
    }
    if (q == from) malformed(q, "attributes not parted by blanks");
    const char* nameStart = q;
    q = scanName(q, end);
    if (q == end) return cutShort();
    if (q == nameStart) malformed(q, "a malformed attribute");
    std::string_view name(nameStart, static_cast<size_t>(q - nameStart));
    while (q < end && blank(*q)) ++q;
    if (q == end) return cutShort();
    if (*q != '=') malformed(q, "the attribute " + shown(name) + " has no value");
    ++q;
    while (q < end && blank(*q)) ++q;
    if (q == end) return cutShort();
    if (*q != '"' && *q != '\'')
      malformed(q, "the value of attribute " + shown(name) + " is not quoted");
    const char* close = findByte(q + 1, end, *q);
    if (!close) return cutShort();
    const char* value = q + 1;
    q = close + 1;
    NameKey key(name);
    for (const RawAttribute& other : raw_)
      if (key.same(other.key, name, other.name))
        malformed(nameStart, "the attribute " + shown(name) + " twice");
    for (const auto& d : declarations_)
      if (d.first == name) malformed(nameStart, "the attribute " + shown(name) + " twice");
    if (name.substr(0, 5) == "xmlns" && (name.size() == 5 || name[5] == ':')) {
      if (rootSeen_)
        malformed(nameStart,
                  "a namespace declaration below the root element, which the first reading of "
                  "the part did not see (the file changed while it was read?)");
      declarations_.emplace_back(name, std::string_view(value, static_cast<size_t>(close - value)));
      continue;
    }
    if (nextTextMark(value, close) == close) {
      raw_.push_back({name, key, value, close, 0, 0, false});
      continue;
    }
    // Entities and character references decoded, literal tabs and line ends made spaces
    // (CR LF as one), as XML normalises the value of an attribute without a declared type.
    size_t start = decoded_.size();
    const char* s = value;
    while (s < close) {
      const char* m = nextTextMark(s, close);
      decoded_.append(s, m);
      if (m == close) break;
      char c = *m;
      if (c == '&') {
        s = reference(m, close, true, decoded_);
      } else if (c == '<') {
        malformed(m, "a '<' in the value of attribute " + shown(name));
      } else if (c == '\r' || c == '\n' || c == '\t') {
        decoded_ += ' ';
        s = m + 1;
        if (c == '\r' && s < close && *s == '\n') ++s;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        malformed(m, "a control character in the value of attribute " + shown(name));
      } else {
        int n = utf8Char(m, close);
        if (n <= 0) malformed(m, "the value of attribute " + shown(name) + " is not UTF-8");
        decoded_.append(m, static_cast<size_t>(n));
        s = m + n;
      }
    }
    raw_.push_back({name, key, nullptr, nullptr, start, decoded_.size(), true});
  }
  bool root = !rootSeen_;
  rootSeen_ = true;
  if (root) {
    for (const auto& [name, uri] : declarations_)
      namespaces_.emplace_back(name.size() > 5 ? std::string(name.substr(6)) : std::string(),
                               std::string(uri));
    cache_.clear();
    std::fill(slots_.begin(), slots_.end(), -1);
  }
  if (attributes_.size() < 5 * raw_.size()) attributes_.resize(5 * raw_.size());
  const xmlChar** out = attributes_.data();
  for (const RawAttribute& a : raw_) {
    Name name = lookup(a.name, a.key);
    const char* value = a.decoded ? decoded_.data() + a.decodedBegin : a.value;
    const char* valueEnd = a.decoded ? decoded_.data() + a.decodedEnd : a.valueEnd;
    *out++ = name.local;
    *out++ = nullptr;
    *out++ = name.uri;
    *out++ = reinterpret_cast<const xmlChar*>(value);
    *out++ = reinterpret_cast<const xmlChar*>(valueEnd);
  }
  if (nameEnds_.size() >= MaxDepth) malformed(p, "elements nested more than a million deep");
  Name name = lookup(qname);
  eventOffset_ = offset_ + static_cast<uint64_t>(p - base_);
  handler_->startElement(name.local, name.uri,
                         XmlAttributes(attributes_.data(), static_cast<int>(raw_.size())));
  if (selfClosing) {
    if (root) rootClosed_ = true;
    if (!stopped_ && error_.empty()) handler_->endElement(name.local);
  } else {
    names_.append(qname);
    nameEnds_.push_back(names_.size());
  }
  return gt + 1;
}

const char* PlainXmlStream::markup(const char* p, const char* end, bool last) {
  if (end - p < 4 && !last && std::memchr(p, '>', static_cast<size_t>(end - p)) == nullptr)
    return nullptr;
  if (end - p < 2) malformed(p, "the part ends inside a tag");
  // Tags from the last '>' of the buffer on wait for more bytes, as in libxml2's push
  // parser: a fault in them then shows, or not, as it does there.
  if (!last && p[1] != '!' && p[1] != '?' && (!lastGt_ || p >= lastGt_)) return nullptr;
  if (p[1] == '/') return endTag(p, end, last);
  if (p[1] == '!' && end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
    // A comment: to its "--", which must end it.
    const char* q = p + 4;
    auto dashes = static_cast<const char*>(memmem(q, static_cast<size_t>(end - q), "--", 2));
    if (!dashes || dashes + 2 >= end) {
      if (!last && end - p < static_cast<ptrdiff_t>(MaxTokenBytes)) return nullptr;
      malformed(p, last ? "the part ends inside a comment" : "a comment longer than 16 MB");
    }
    if (dashes[2] != '>') {
      // Reported once the comment's end has come, as libxml2 reads a comment only then.
      if (!last && !memmem(dashes, static_cast<size_t>(end - dashes), "-->", 3)) return nullptr;
      malformed(dashes, "a '--' inside a comment");
    }
    return dashes + 3;
  }
  if (p[1] == '!' || p[1] == '?')
    malformed(p,
              "markup the first reading of the part did not see (a CDATA section, a "
              "declaration or a processing instruction; the file changed while it was read?)");
  return startTag(p, end, last);
}

// The '>' that libxml2's push parser reads tags up to: the first after the buffer's last
// '<' outside quotes, or else the last before it.
static const char* lastTagEnd(const char* begin, const char* end) {
  auto lt = static_cast<const char*>(memrchr(begin, '<', static_cast<size_t>(end - begin)));
  if (!lt) return nullptr;
  for (const char* p = lt + 1; p < end; ++p) {
    if (*p == '>') return p;
    if (*p == '"' || *p == '\'') {
      auto close =
          static_cast<const char*>(std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
      if (!close) break;
      p = close;
    }
  }
  return static_cast<const char*>(memrchr(begin, '>', static_cast<size_t>(lt - begin)));
}

size_t PlainXmlStream::parse(const char* begin, const char* end, bool last) {
  base_ = begin;
  lastGt_ = last ? nullptr : lastTagEnd(begin, end);
  const char* p = begin;
  if (!started_) {
    // The byte order mark and the XML declaration, which the first reading checked.
    if (end - p < 3 && !last) return 0;
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    if (end - p < 6 && !last) return 0;
    if (end - p >= 6 && std::memcmp(p, "<?xml", 5) == 0 && blank(p[5])) {
      auto close = static_cast<const char*>(memmem(p, static_cast<size_t>(end - p), "?>", 2));
      if (!close) {
        if (!last && end - begin < static_cast<ptrdiff_t>(MaxTokenBytes)) return 0;
        malformed(p, "an XML declaration cut short");
      }
      p = close + 2;
    }
    started_ = true;
  }
  while (p < end && !stopped_ && error_.empty()) {
    // nullptr, or text's own starting point: a token that runs past the end of the buffer.
    const char* next = *p == '<' ? markup(p, end, last) : text(p, end, last);
    if (!next || next == p) break;
    p = next;
  }
  return static_cast<size_t>(p - begin);
}

bool PlainXmlStream::feed(SaxHandler& handler) {
  if (finished_) return false;
  handler_ = &handler;
  if (stopped_ || !error_.empty()) {
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
  const char* end = data + slice.size();
  // First the token the last slice ended inside, completed tag by tag from this one.
  while (!carry_.empty() && data < end && !stopped_ && error_.empty()) {
    auto gt = static_cast<const char*>(std::memchr(data, '>', static_cast<size_t>(end - data)));
    const char* upto = gt ? gt + 1 : end;
    carry_.append(data, upto);
    data = upto;
    offset_ = carryOffset_;
    size_t used = parse(carry_.data(), carry_.data() + carry_.size(), false);
    carry_.erase(0, used);
    carryOffset_ += used;
  }
  if (carry_.empty() && data < end && !stopped_ && error_.empty()) {
    offset_ = sliceOffset_ + static_cast<uint64_t>(data - slice.data());
    size_t used = parse(data, end, false);
    carry_.assign(data + used, end);
    carryOffset_ = offset_ + used;
  }
  sliceOffset_ += slice.size();
  // What waits for the next slice is one token (text waits for the markup after it), which
  // libxml2 too refuses past 10 MB: memory stays bounded whatever the part holds.
  if (carry_.size() > MaxTokenBytes) {
    offset_ = carryOffset_;
    base_ = carry_.data();
    malformed(base_, "more than 16 MB of text or of one tag without the markup that ends it");
  }
  if (!error_.empty()) raise();
  if (stopped_) {
    finished_ = true;
    return false;
  }
  if (!slice.empty()) return true;
  // The end of the part.
  offset_ = carryOffset_;
  if (!carry_.empty()) parse(carry_.data(), carry_.data() + carry_.size(), true);
  if (!error_.empty()) raise();
  base_ = carry_.data() + carry_.size();
  if (!stopped_) {
    if (!rootSeen_) malformed(base_, "no root element");
    if (!nameEnds_.empty()) {
      size_t begin = nameEnds_.size() > 1 ? nameEnds_[nameEnds_.size() - 2] : 0;
      malformed(base_, "the part ends inside the element <" +
                           shown(std::string_view(names_).substr(begin)) + ">");
    }
  }
  finished_ = true;
  return false;
}

}  // namespace tabulor::workbook
