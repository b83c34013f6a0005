// The dBase writer. Columns are planned from the engine's statistics pass so that every
// value fits: text becomes C sized to its longest value (or a memo past 254 bytes), numbers
// N with the width and decimals that hold every value, dates D, booleans L. A column whose
// values are of mixed kinds (a text guess broken by a later row) is written as text.
// Date-times and times of day, which D cannot hold (and dBASE has no time type), are kept
// as their ISO text ("2024-02-29 13:05:00", "08:15:30"). Text is Windows-1252
// (language driver 0x03) unless some value has no byte there; then the whole table is UTF-8
// and a ".cpg" sidecar says so, as GIS tools read it. dBase itself cannot tell an empty
// text from NULL, nor trailing blanks from the padding of a character field.
#include "engine/drivers/dbase/dbf_writer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <set>

#include "engine/drivers/dbase/code_pages.h"
#include "engine/drivers/dbase/memo_file.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/ole_date.h"
#include "engine/output_file.h"
#include "engine/text_codec.h"

namespace tabulor::dbase {

namespace {

inline constexpr uint32_t MaxCharLength = 254;
// "Windows ANSI": GDAL reads 0x57 as ISO-8859-1 and drops the characters at 0x80..0x9F.
inline constexpr uint8_t LanguageDriverAnsi = 0x03;

int maxNumericWidth(Dialect d) {
  return d == Dialect::DbaseIII ? 19 : 20;
}
size_t maxFields(Dialect d) {
  return d == Dialect::DbaseIII ? 128 : 255;
}
uint64_t maxRecordLength(Dialect d) {
  return d == Dialect::Dbase5 ? 32767 : 4000;
}

std::string dialectName(Dialect d) {
  switch (d) {
    case Dialect::DbaseIII:
      return "dBASE III";
    case Dialect::DbaseIV:
      return "dBASE IV";
    default:
      return "dBASE 5.0";
  }
}

ColumnPlan textColumn(int64_t bytes) {
  ColumnPlan c;
  if (bytes > static_cast<int64_t>(MaxCharLength)) {
    c.kind = ColumnKind::Memo;
    c.field.type = 'M';
    c.field.length = 10;
  } else {
    c.kind = ColumnKind::Text;
    c.field.type = 'C';
    c.field.length = static_cast<uint32_t>(bytes < 1 ? 1 : bytes);
  }
  return c;
}

ColumnPlan planColumn(const FieldInfo& f, bool haveStats, bool utf8, Dialect dialect) {
  const ColumnStats& s = f.stats;
  ColumnPlan c;
  if (!haveStats || s.nonNull == 0) {
    // Nothing to measure: the declared type decides, sized for what that type can hold.
    if (f.type == VT_BOOL) {
      c.kind = ColumnKind::Logical;
      c.field.type = 'L';
      c.field.length = 1;
    } else if (f.type == VT_DATE) {
      c.kind = ColumnKind::Date;
      c.field.type = 'D';
      c.field.length = 8;
    } else if (isNumericType(f.type)) {
      c.kind = ColumnKind::Number;
      c.field.type = 'N';
      if (f.type == VT_UI1 || f.type == VT_I2 || f.type == VT_I4) {
        c.field.length = f.type == VT_UI1 ? 3 : f.type == VT_I2 ? 6 : 11;
      } else {
        // Without statistics a value that does not fit fails its row, never silently.
        c.field.length = static_cast<uint32_t>(maxNumericWidth(dialect));
        c.field.decimals = haveStats ? 0 : 4;
      }
    } else {
      c = textColumn(haveStats ? 1 : (f.size > 0 ? f.size : MaxCharLength));
    }
    return c;
  }
  if (s.boolValues == s.nonNull) {
    c.kind = ColumnKind::Logical;
    c.field.type = 'L';
    c.field.length = 1;
    return c;
  }
  if (s.dateValues == s.nonNull && !s.anyTimeOfDay) {
    c.kind = ColumnKind::Date;
    c.field.type = 'D';
    c.field.length = 8;
    return c;
  }
  if (s.integerValues + s.realValues == s.nonNull && s.integerValues + s.realValues > 0) {
    int decimals = s.allWholeNumbers ? 0 : s.maxDecimals;
    int width = s.maxIntDigits + (s.hasNegative ? 1 : 0) + (decimals > 0 ? decimals + 1 : 0);
    bool finite = std::isfinite(s.minValue) && std::isfinite(s.maxValue);
    if (finite && width <= maxNumericWidth(dialect)) {
      c.kind = ColumnKind::Number;
      c.field.type = 'N';
      c.field.length = static_cast<uint32_t>(width < 1 ? 1 : width);
      c.field.decimals = static_cast<uint8_t>(decimals);
      return c;
    }
  }
  // Mixed kinds, date-times, binary and numbers too wide for N are kept as their text.
  return textColumn(utf8 ? s.maxTextBytes : s.maxTextChars);
}

// Appends `digits` with exactly `decimals` decimals; false when it has more.
bool padDecimals(std::string_view text, int decimals, std::string& out) {
  auto dot = text.find('.');
  std::string_view whole = text.substr(0, dot), frac;
  if (dot != std::string_view::npos) frac = text.substr(dot + 1);
  while (!frac.empty() && frac.back() == '0') frac.remove_suffix(1);
  if (static_cast<int>(frac.size()) > decimals) return false;
  out.append(whole.data(), whole.size());
  if (decimals > 0) {
    out += '.';
    out.append(frac.data(), frac.size());
    out.append(static_cast<size_t>(decimals) - frac.size(), '0');
  }
  return true;
}

// The N-field text of a numeric value; false when the value is not a number.
bool numberText(const Variant& v, int decimals, std::string& out) {
  out.clear();
  char digits[24];
  switch (v.vt) {
    case VT_I2:
      return padDecimals(
          {digits, static_cast<size_t>(std::to_chars(digits, digits + 24, v.iVal).ptr - digits)},
          decimals, out);
    case VT_I4:
      return padDecimals(
          {digits, static_cast<size_t>(std::to_chars(digits, digits + 24, v.lVal).ptr - digits)},
          decimals, out);
    case VT_UI1:
      return padDecimals(
          {digits, static_cast<size_t>(std::to_chars(digits, digits + 24, v.bVal).ptr - digits)},
          decimals, out);
    case VT_CY: {
      uint64_t magnitude =
          v.cyVal < 0 ? 0 - static_cast<uint64_t>(v.cyVal) : static_cast<uint64_t>(v.cyVal);
      char frac[8];
      std::snprintf(frac, sizeof frac, "%04u", static_cast<unsigned>(magnitude % 10000));
      std::string text = (v.cyVal < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." + frac;
      if (padDecimals(text, decimals, out)) return true;
      break;
    }
    case VT_DECIMAL:
      if (v.str.find_first_of("eE") == std::string::npos && !v.str.empty()) {
        std::string_view text(v.str);
        if (text.front() == '+') text.remove_prefix(1);
        if (padDecimals(text, decimals, out)) return true;
        out.clear();
      }
      break;
    default:
      break;
  }
  double d = 0;
  if (v.vt == VT_BSTR || v.vt == VT_BOOL || v.vt == VT_DATE || !variantToDouble(v, d) ||
      !std::isfinite(d))
    return false;
  if (d == 0) d = 0;  // no "-0"
  out.clear();
  char shortestBuf[64];
  std::string_view shortest(
      shortestBuf,
      static_cast<size_t>(std::to_chars(shortestBuf, shortestBuf + 64, d).ptr - shortestBuf));
  if (shortest.find_first_of("eE") == std::string_view::npos &&
      padDecimals(shortest, decimals, out))
    return true;
  out.clear();
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, d);
  out = buffer;
  return true;
}

class DbfWriter : public TableWriter {
 public:
  DbfWriter(const std::string& folder, const std::string& table, const TableSchema& schema,
            Dialect dialect);
  void appendRow(const std::vector<Variant>& row) override;
  void finish() override;

 private:
  [[noreturn]] void fail(size_t col, const std::string& what) const {
    throw EngineError(ErrorKind::Limit, fileName_ + ", row " + std::to_string(rows_ + 1) +
                                            ", field " + plan_.columns[col].field.name + ": " +
                                            what);
  }
  void putText(size_t col, const std::string& utf8, std::string& encoded);

  std::string folder_, fileName_, stem_;
  bool upperExt_;
  TablePlan plan_;
  std::unique_ptr<OutputFile> dbf_;
  std::unique_ptr<MemoWriter> memo_;
  std::string record_, text_, encoded_;
  uint64_t rows_ = 0;
};

DbfWriter::DbfWriter(const std::string& folder, const std::string& table, const TableSchema& schema,
                     Dialect dialect)
    : folder_(folder) {
  fileName_ = safeFileName(table);
  if (extensionOf(fileName_).empty()) fileName_ += ".dbf";
  std::string_view ext = extensionOf(fileName_);
  stem_ = fileName_.substr(0, fileName_.size() - ext.size());
  upperExt_ = ext == ".DBF";
  plan_ = planDbfTable(schema, dialect, fileName_);

  std::vector<DbfField> fields;
  for (const auto& c : plan_.columns) fields.push_back(c.field);
  std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  uint8_t version = 0x03;
  if (plan_.anyMemo) version = dialect == Dialect::DbaseIII ? 0x83 : 0x8B;
  std::string header = buildDbfHeader(version, plan_.utf8 ? 0 : LanguageDriverAnsi, 0, fields,
                                      today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
  dbf_ = std::make_unique<OutputFile>(joinPath(folder_, fileName_));
  dbf_->write(header);
  if (plan_.anyMemo)
    memo_ = std::make_unique<MemoWriter>(
        joinPath(folder_, stem_ + (upperExt_ ? ".DBT" : ".dbt")),
        dialect == Dialect::DbaseIII ? MemoLayout::DbaseIII : MemoLayout::DbaseIV, stem_);
  uint32_t recordLength = 1;
  for (const auto& f : fields) recordLength += f.length;
  record_.assign(recordLength, ' ');
}

void DbfWriter::putText(size_t col, const std::string& utf8, std::string& encoded) {
  encoded.clear();
  if (plan_.utf8) {
    encoded = utf8;
  } else if (!appendWindows1252(utf8, encoded)) {
    // The statistics said every text fits Windows-1252; a value that does not would be lost.
    fail(col, "text has characters outside the table's code page Windows-1252");
  }
}

void DbfWriter::appendRow(const std::vector<Variant>& row) {
  if (rows_ >= 0xFFFFFFFFull)
    throw EngineError(ErrorKind::Limit,
                      fileName_ + ": a dBASE table holds at most 4,294,967,295 records");
  char* rec = record_.data();
  std::fill(record_.begin(), record_.end(), ' ');
  for (size_t col = 0; col < plan_.columns.size(); ++col) {
    const ColumnPlan& c = plan_.columns[col];
    char* p = rec + c.field.offset;
    static const Variant nullValue = Variant::null();
    const Variant& v = col < row.size() ? row[col] : nullValue;
    if (v.isNull()) continue;
    switch (c.kind) {
      case ColumnKind::Text: {
        const std::string* text = &v.str;
        if (v.vt != VT_BSTR) {
          text_ = variantToText(v);
          text = &text_;
        }
        putText(col, *text, encoded_);
        if (encoded_.size() > c.field.length)
          fail(col, "text of " + std::to_string(encoded_.size()) +
                        " bytes is longer than the field (" + std::to_string(c.field.length) + ")");
        std::memcpy(p, encoded_.data(), encoded_.size());
        break;
      }
      case ColumnKind::Memo: {
        const std::string* text = &v.str;
        if (v.vt != VT_BSTR) {
          text_ = variantToText(v);
          text = &text_;
        }
        if (text->empty()) break;
        putText(col, *text, encoded_);
        uint32_t block;
        try {
          block = memo_->append(encoded_);
        } catch (const EngineError& e) {
          fail(col, e.what());
        }
        std::string number = std::to_string(block);
        std::memcpy(p + c.field.length - number.size(), number.data(), number.size());
        break;
      }
      case ColumnKind::Number: {
        if (!numberText(v, c.field.decimals, text_))
          fail(col, "value \"" + clipForMessage(variantToText(v)) + "\" is not a number");
        if (text_.size() > c.field.length)
          fail(col, "number " + clipForMessage(text_) + " is wider than the field (" +
                        std::to_string(c.field.length) + ")");
        std::memcpy(p + c.field.length - text_.size(), text_.data(), text_.size());
        break;
      }
      case ColumnKind::Date: {
        std::optional<DateTimeParts> parts;
        if (v.vt == VT_DATE) parts = partsFromOleDate(v.date);
        if (!parts || (v.vt == VT_DATE && v.date != std::floor(v.date)))
          fail(col, "value \"" + clipForMessage(variantToText(v)) +
                        "\" does not fit a dBASE date field");
        int digits[3] = {parts->year, parts->month, parts->day}, widths[3] = {4, 2, 2};
        char* at = p;
        for (int k = 0; k < 3; ++k) {
          for (int w = widths[k] - 1; w >= 0; --w) {
            at[w] = static_cast<char>('0' + digits[k] % 10);
            digits[k] /= 10;
          }
          at += widths[k];
        }
        break;
      }
      case ColumnKind::Logical:
        if (v.vt != VT_BOOL)
          fail(col, "value \"" + clipForMessage(variantToText(v)) + "\" is not a logical");
        *p = v.boolVal ? 'T' : 'F';
        break;
    }
  }
  dbf_->write(record_);
  ++rows_;
}

void DbfWriter::finish() {
  dbf_->put(static_cast<char>(EndOfFile));
  std::string count(4, '\0');
  putU32(count, 0, static_cast<uint32_t>(rows_));
  dbf_->writeAt(4, count);
  // Sidecars of an earlier table of the same name would mislead readers of this one.
  if (memo_) {
    memo_->finish();
  } else {
    std::remove(joinPath(folder_, stem_ + ".dbt").c_str());
    std::remove(joinPath(folder_, stem_ + ".DBT").c_str());
  }
  if (plan_.utf8) {
    OutputFile cpg(joinPath(folder_, stem_ + (upperExt_ ? ".CPG" : ".cpg")));
    cpg.write("UTF-8\n");
    cpg.commit();
  } else {
    std::remove(joinPath(folder_, stem_ + ".cpg").c_str());
    std::remove(joinPath(folder_, stem_ + ".CPG").c_str());
  }
  dbf_->commit();
}

}  // namespace

std::vector<std::string> dbaseFieldNames(const std::vector<FieldInfo>& fields) {
  std::vector<std::string> names;
  std::set<std::string> used;
  for (const auto& f : fields) {
    std::string name;
    for (unsigned char c : f.name) {
      if (c >= 0x80) {
        // One "_" per character, not per UTF-8 byte.
        if ((c & 0xC0) != 0x80) name += '_';
        continue;
      }
      if (std::isalnum(c))
        name += static_cast<char>(std::toupper(c));
      else
        name += '_';
    }
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) name = "F" + name;
    if (name.size() > 10) name.resize(10);
    std::string candidate = name;
    for (int n = 2; used.count(candidate); ++n) {
      std::string suffix = "_" + std::to_string(n);
      candidate = name.substr(0, 10 - suffix.size()) + suffix;
    }
    used.insert(candidate);
    names.push_back(candidate);
  }
  return names;
}

TablePlan planDbfTable(const TableSchema& schema, Dialect dialect, const std::string& table) {
  if (schema.fields.empty())
    throw EngineError(ErrorKind::NoFields, table + " has no fields; a " + dialectName(dialect) +
                                               " table needs at least one");
  if (schema.fields.size() > maxFields(dialect))
    throw EngineError(ErrorKind::Limit,
                      table + ": " + dialectName(dialect) + " tables hold at most " +
                          std::to_string(maxFields(dialect)) + " fields; the source has " +
                          std::to_string(schema.fields.size()));
  TablePlan plan;
  bool haveStats = schema.rowCount >= 0;
  for (const auto& f : schema.fields)
    if (!f.stats.fitsWindows1252) plan.utf8 = true;
  std::vector<std::string> names = dbaseFieldNames(schema.fields);
  uint64_t recordLength = 1;
  for (size_t i = 0; i < schema.fields.size(); ++i) {
    ColumnPlan c = planColumn(schema.fields[i], haveStats, plan.utf8, dialect);
    c.field.name = names[i];
    recordLength += c.field.length;
    plan.columns.push_back(std::move(c));
  }
  // dBASE opens no table whose record is longer than its limit: the widest character
  // fields move to the memo file until the record fits.
  while (recordLength > maxRecordLength(dialect)) {
    ColumnPlan* widest = nullptr;
    for (auto& c : plan.columns)
      if (c.kind == ColumnKind::Text && c.field.length > 10 &&
          (!widest || c.field.length > widest->field.length))
        widest = &c;
    if (!widest)
      throw EngineError(ErrorKind::Limit,
                        table + ": a " + dialectName(dialect) + " record holds at most " +
                            std::to_string(maxRecordLength(dialect)) + " bytes; this table needs " +
                            std::to_string(recordLength));
    recordLength -= widest->field.length - 10;
    widest->kind = ColumnKind::Memo;
    widest->field.type = 'M';
    widest->field.length = 10;
  }
  uint32_t offset = 1;
  for (auto& c : plan.columns) {
    c.field.offset = offset;
    offset += c.field.length;
    if (c.kind == ColumnKind::Memo) plan.anyMemo = true;
  }
  return plan;
}

std::unique_ptr<TableWriter> createDbfWriter(const std::string& folder, const std::string& table,
                                             const TableSchema& schema, Dialect dialect) {
  return std::make_unique<DbfWriter>(folder, table, schema, dialect);
}

}  // namespace tabulor::dbase
