// Parser of the SELECT * INTO statements the conversion builds.
#include "engine/statement.h"

#include <cctype>

#include "engine/engine_error.h"
#include "engine/message_text.h"

namespace tabulor {

namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  void skipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  void expectWord(std::string_view word) {
    skipBlanks();
    size_t end = pos_;
    while (end < text_.size() && !std::isspace(static_cast<unsigned char>(text_[end])) &&
           text_[end] != '[')
      ++end;
    std::string_view found = text_.substr(pos_, end - pos_);
    bool same = found.size() == word.size();
    for (size_t i = 0; same && i < word.size(); ++i)
      same = std::toupper(static_cast<unsigned char>(found[i])) == word[i];
    if (!same) fail("expected " + std::string(word));
    pos_ = end;
  }

  void expectChar(char c) {
    skipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != c) fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  std::string bracketedName() {
    skipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '[') fail("expected '['");
    ++pos_;
    std::string name;
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated '['");
      char c = text_[pos_++];
      if (c == ']') {
        if (pos_ < text_.size() && text_[pos_] == ']') {
          name += ']';
          ++pos_;
          continue;
        }
        return name;
      }
      name += c;
    }
  }

  void expectEnd() {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ';') ++pos_;
    skipBlanks();
    if (pos_ != text_.size()) fail("unexpected text");
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw EngineError(ErrorKind::Syntax, "Syntax error in statement at position " +
                                             std::to_string(pos_ + 1) + ": " + what + " in \"" +
                                             clipForMessage(text_) + "\"");
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace

std::string connectIsam(std::string_view connect) {
  return trimmed(connect.substr(0, connect.find(';')));
}

std::string connectValue(std::string_view connect, std::string_view key) {
  size_t start = connect.find(';');
  while (start != std::string_view::npos) {
    size_t next = connect.find(';', start + 1);
    std::string_view part = connect.substr(
        start + 1, next == std::string_view::npos ? std::string_view::npos : next - start - 1);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos) {
      std::string name = trimmed(part.substr(0, eq));
      bool same = name.size() == key.size();
      for (size_t i = 0; same && i < key.size(); ++i)
        same = std::toupper(static_cast<unsigned char>(name[i])) ==
               std::toupper(static_cast<unsigned char>(key[i]));
      // The path runs to the end: a DATABASE value may itself hold ";".
      if (same) return std::string(connect.substr(start + 1 + eq + 1));
    }
    start = next;
  }
  return {};
}

SelectInto parseSelectInto(std::string_view statement) {
  Scanner s(statement);
  s.expectWord("SELECT");
  s.expectChar('*');
  s.expectWord("INTO");
  std::string connect = s.bracketedName();
  s.expectChar('.');
  SelectInto out;
  out.targetTable = s.bracketedName();
  s.expectWord("FROM");
  out.sourceTable = s.bracketedName();
  s.expectEnd();
  if (connect.find(';') == std::string::npos) s.fail("expected '<isam>;DATABASE=<path>'");
  out.isam = connectIsam(connect);
  out.database = connectValue(connect, "DATABASE");
  return out;
}

std::string bracketed(std::string_view name) {
  std::string out = "[";
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  out += ']';
  return out;
}

}  // namespace tabulor
