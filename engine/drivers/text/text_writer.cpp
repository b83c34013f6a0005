// The delimited-text table writer.
#include "engine/drivers/text/text_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "engine/drivers/text/text_layout.h"
#include "engine/drivers/text/value_text.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/output_file.h"

namespace tabulor {

namespace {

class TextTableWriter : public TableWriter {
 public:
  TextTableWriter(const std::string& path, char delimiter, const TableSchema& schema)
      : out_(path), delimiter_(delimiter), columns_(schema.fields.size()) {
    if (columns_ == 0) return;  // a table without fields is an empty file
    for (size_t i = 0; i < columns_; ++i) {
      if (i > 0) out_.put(delimiter_);
      writeField(schema.fields[i].name);
    }
    out_.write("\r\n");
  }

  void appendRow(const std::vector<Variant>& row) override {
    if (columns_ == 0) return;
    static const Variant null = Variant::null();
    for (size_t i = 0; i < columns_; ++i) {
      if (i > 0) out_.put(delimiter_);
      const Variant& v = i < row.size() ? row[i] : null;
      std::string_view text = valueText(v, scratch_, fallback_);
      // A lone empty field would make a blank line, which readers skip: quote it.
      if (columns_ == 1 && text.empty())
        out_.write("\"\"");
      else if (v.vt == VT_BSTR || v.vt == VT_DECIMAL || v.vt == VT_ERROR)
        writeField(text);
      else
        out_.write(text);  // numbers, dates and booleans never need quotes
    }
    out_.write("\r\n");
  }

  void finish() override { out_.commit(); }

 private:
  void writeField(std::string_view text) {
    if (!needsQuotes(text, delimiter_)) {
      out_.write(text);
      return;
    }
    out_.put('"');
    size_t from = 0;
    for (size_t q = text.find('"'); q != std::string_view::npos; q = text.find('"', q + 1)) {
      out_.write(text.substr(from, q + 1 - from));
      out_.put('"');
      from = q + 1;
    }
    out_.write(text.substr(from));
    out_.put('"');
  }

  OutputFile out_;
  char delimiter_;
  size_t columns_;
  char scratch_[ValueTextScratch];
  std::string fallback_;
};

}  // namespace

bool needsQuotes(std::string_view s, char delimiter) {
  // Bytes that force quotes: the delimiters a reader might detect, quote, CR, LF.
  static const auto special = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {',', '\t', ';', '"', '\r', '\n'}) table[c] = true;
    return table;
  }();
  if (s.empty()) return false;
  if (s.front() == ' ' || s.back() == ' ') return true;
  if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) return true;
  for (char c : s)
    if (special[static_cast<unsigned char>(c)] || c == delimiter) return true;
  return false;
}

std::unique_ptr<TableWriter> createTextTable(const std::string& folder, const std::string& table,
                                             const TableSchema& schema) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw EngineError(ErrorKind::Io, "Cannot write the table " + clipForMessage(table) +
                                         ": the folder " + folder + " does not exist");
  std::string fileName = safeFileName(table);
  char delimiter = ',';
  std::string ini = joinPath(folder, "schema.ini");
  if (::access(ini.c_str(), F_OK) == 0) {
    TextLayout layout = layoutFromSchemaIni(folder, fileName);
    if (layout.delimiterGiven) delimiter = layout.delimiter;
  }
  return std::make_unique<TextTableWriter>(joinPath(folder, fileName), delimiter, schema);
}

}  // namespace tabulor
