// Column names, types and row-size planning for tables the Jet writer creates.
#include "engine/drivers/jet/column_plan.h"

#include <algorithm>
#include <cmath>

#include "engine/drivers/jet/jet_format.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/text_codec.h"

namespace tabulor::jet {

std::string cleanJetName(std::string_view name) {
  std::string out;
  for (unsigned char ch : name) {
    if (ch < 0x20 || ch == 0x7F || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']')
      out += '_';
    else
      out += static_cast<char>(ch);
  }
  size_t lead = out.find_first_not_of(' ');
  out.erase(0, lead == std::string::npos ? out.size() : lead);
  if (!isValidUtf8(out)) out = utf8OrCp1252(out);
  return std::string(utf8Prefix(out, 64));
}

namespace {

Store storeForText(const ColumnStats& s, bool haveStats, int32_t declaredSize) {
  if (!haveStats) return declaredSize > 0 && declaredSize <= 255 ? Store::Text : Store::Memo;
  return s.maxTextChars <= 255 ? Store::Text : Store::Memo;
}

Store chooseStore(const FieldInfo& f, bool haveStats) {
  const ColumnStats& s = f.stats;
  const int64_t others = s.textValues + s.binaryValues + s.boolValues + s.dateValues;
  const int64_t numbers = s.integerValues + s.realValues;
  auto fallback = [&] { return storeForText(s, haveStats, 0); };
  switch (f.type) {
    case VT_BSTR:
      return storeForText(s, haveStats, f.size);
    case VT_BOOL:
      if (haveStats && s.nonNull != s.boolValues) return fallback();
      return Store::Bool;
    case VT_DATE:
      if (haveStats && s.nonNull != s.dateValues) return fallback();
      return Store::Date;
    case VT_BINARY:
      if (haveStats && s.nonNull != s.binaryValues) return fallback();
      return Store::Ole;
    case VT_UI1:
    case VT_I2:
    case VT_I4:
      if (haveStats && others) return fallback();
      if (haveStats && s.realValues) return Store::Double;
      if (haveStats && s.integerValues) {
        if (s.minValue >= 0 && s.maxValue <= 255 && f.type == VT_UI1) return Store::Byte;
        if (s.minValue >= -32768 && s.maxValue <= 32767 && f.type != VT_I4) return Store::Int;
        if (s.minValue >= -2147483648.0 && s.maxValue <= 2147483647.0) return Store::Long;
        return Store::Double;
      }
      return f.type == VT_UI1 ? Store::Byte : f.type == VT_I2 ? Store::Int : Store::Long;
    case VT_R4:
      if (haveStats && others) return fallback();
      return Store::Float;
    case VT_R8:
      if (haveStats && others) return fallback();
      return Store::Double;
    case VT_CY:
      if (haveStats && others) return fallback();
      if (haveStats && s.maxDecimals > 4) return Store::Double;
      return Store::Money;
    case VT_DECIMAL:
      // Jet's Decimal type is read differently by different tools; a Double holds every
      // value of up to 15 significant digits exactly, longer ones stay exact as text.
      if (haveStats && (others || numbers != s.nonNull || s.maxIntDigits + s.maxDecimals > 15))
        return fallback();
      if (!haveStats) return Store::Memo;
      return Store::Double;
    default:
      return fallback();
  }
}

uint8_t typeOf(Store s) {
  switch (s) {
    case Store::Bool:
      return TypeBool;
    case Store::Byte:
      return TypeByte;
    case Store::Int:
      return TypeInt;
    case Store::Long:
      return TypeLong;
    case Store::Money:
      return TypeMoney;
    case Store::Float:
      return TypeFloat;
    case Store::Double:
      return TypeDouble;
    case Store::Date:
      return TypeDateTime;
    case Store::Text:
      return TypeText;
    case Store::Memo:
      return TypeMemo;
    case Store::Ole:
      return TypeOle;
  }
  return TypeMemo;
}

// Largest stored size of a Text value: compressed text takes 2 + chars bytes, UTF-16 two
// bytes per unit; a character outside the BMP takes 4 UTF-8 bytes and 2 units.
size_t textBound(const ColumnStats& s, bool haveStats) {
  if (!haveStats) return 510;
  return static_cast<size_t>(2 * s.maxTextChars + s.maxTextBytes / 2 + 2);
}

}  // namespace

TablePlan planTable(const std::string& table, const TableSchema& schema,
                    const std::string& database) {
  TablePlan plan;
  plan.name = cleanJetName(table);
  if (plan.name.empty())
    throw EngineError(ErrorKind::Syntax,
                      "Invalid table name '" + clipForMessage(table) + "' for " + database);
  if (schema.fields.empty())
    throw EngineError(
        ErrorKind::NoFields,
        "Table " + plan.name + " has no fields; a Jet table needs at least one (" + database + ")");
  if (schema.fields.size() > 255)
    throw EngineError(ErrorKind::Limit, "Too many fields defined: table " + plan.name + " has " +
                                            std::to_string(schema.fields.size()) +
                                            " fields, a Jet table holds at most 255 (" + database +
                                            ")");
  const bool haveStats = schema.rowCount >= 0;
  std::vector<std::string> used;
  for (size_t i = 0; i < schema.fields.size(); ++i) {
    const FieldInfo& f = schema.fields[i];
    ColumnDef c;
    std::string base = cleanJetName(f.name);
    if (base.empty()) base = "Field" + std::to_string(i + 1);
    std::string name = base;
    for (int n = 1;; ++n) {
      bool clash = false;
      for (const auto& u : used) clash = clash || equalsNoCase(u, name);
      if (!clash) break;
      std::string suffix = std::to_string(n);
      name = std::string(utf8Prefix(base, 64 - suffix.size())) + suffix;
    }
    used.push_back(toLowerAscii(name));
    c.name = name;
    plan.stores.push_back(chooseStore(f, haveStats));
    plan.columns.push_back(std::move(c));
  }
  // Keep the largest possible row under the limit: move the widest Text columns to Memo
  // (whose row part is a 12-byte pointer) until it fits.
  for (;;) {
    size_t fixed = 0, vars = 0, varBytes = 0, widest = 0, widestAt = SIZE_MAX;
    for (size_t i = 0; i < plan.stores.size(); ++i) {
      uint8_t t = typeOf(plan.stores[i]);
      if (isFixedType(t)) {
        fixed += fixedSize(t);
        continue;
      }
      ++vars;
      size_t bound = t == TypeText ? textBound(schema.fields[i].stats, haveStats) : 12;
      varBytes += bound;
      if (t == TypeText && bound > widest) {
        widest = bound;
        widestAt = i;
      }
    }
    size_t row = 2 + fixed + (plan.stores.size() + 7) / 8 + (vars ? 4 + 2 * vars : 0) + varBytes;
    if (row <= MaxRowSize || widestAt == SIZE_MAX) break;
    plan.stores[widestAt] = Store::Memo;
  }
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    ColumnDef& c = plan.columns[i];
    c.type = typeOf(plan.stores[i]);
    if (c.type == TypeText) {
      // Keep the source's declared width when every value fits it.
      const FieldInfo& f = schema.fields[i];
      int64_t chars = 255;
      if (f.size > 0 && f.size <= 255 && (!haveStats || f.stats.maxTextChars <= f.size))
        chars = f.size;
      c.length = static_cast<uint16_t>(2 * chars);
      c.extFlags = ColExtCompressed;
    } else if (c.type == TypeMemo) {
      c.extFlags = ColExtCompressed;
    } else if (c.type == TypeBool) {
      c.length = 1;
    } else {
      c.length = fixedSize(c.type);
    }
  }
  plan.fixedArea = layoutColumns(plan.columns);
  return plan;
}

}  // namespace tabulor::jet
