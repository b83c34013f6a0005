// Jet reading through libmdb: catalogue, table definitions, page walk and row cracking come
// from the library; values, long-value chains and all bounds checks are done here.
#include "engine/drivers/jet/mdb_reader.h"

#include <mdbtools.h>

#include <cstring>
#include <fstream>
#include <unordered_set>

#include "engine/drivers/jet/jet_header.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/text_codec.h"

namespace tabulor::jet {

namespace {

uint32_t get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[noreturn]] void damaged(const std::string& file, const std::string& what) {
  throw EngineError(ErrorKind::BadInput, file + " is damaged: " + what);
}

struct TableGuard {
  MdbTableDef* table = nullptr;
  ~TableGuard() {
    if (table) mdb_free_tabledef(table);
  }
};

}  // namespace

struct MdbReader::Handle {
  MdbHandle* mdb = nullptr;
  // The catalogue as read here (libmdb's own catalogue reader also parses every object's
  // property blocks, and loops forever on some damaged ones).
  std::vector<std::unique_ptr<MdbCatalogEntry>> catalog;
  bool catalogRead = false;
  std::string name;  // for messages
  bool jet4 = true;
  uint64_t pageCount = 0;
  ~Handle() {
    if (mdb) mdb_close(mdb);
  }
};

MdbReader::MdbReader(std::unique_ptr<Handle> h) : h_(std::move(h)) {}
MdbReader::~MdbReader() = default;

namespace {

void checkHeader(const std::string& head, const std::string& name, uint64_t size) {
  if (!looksLikeJet(head))
    throw EngineError(ErrorKind::BadInput,
                      "Unrecognized database format '" + name + "': not a Jet database");
  HeaderInfo info = readHeader(head);
  if (info.encrypted)
    throw EngineError(ErrorKind::Unsupported, name + " is encoded and cannot be read");
  if (info.hasPassword)
    throw EngineError(ErrorKind::Unsupported,
                      name + " is protected by a database password and cannot be read");
  size_t page = info.version == 0 ? 2048 : PageSize;
  if (size < 3 * page) damaged(name, "the file is too short (" + std::to_string(size) + " bytes)");
}

std::unique_ptr<MdbReader::Handle> finishOpen(MdbHandle* mdb, const std::string& name,
                                              uint64_t size) {
  if (!mdb) throw EngineError(ErrorKind::BadInput, name + " is damaged: its header cannot be read");
  auto h = std::make_unique<MdbReader::Handle>();
  h->mdb = mdb;
  h->name = name;
  h->jet4 = mdb->f->jet_version != MDB_VER_JET3;
  h->pageCount = size / static_cast<uint64_t>(mdb->fmt->pg_size);
  return h;
}

// libmdb trusts a table's usage maps: a map row it cannot find leaves it a null map that it
// reads anyway, and a bitmap page past the end of the file makes it exit the process. The
// maps of a table are checked here before libmdb reads the table.
void checkMapRow(MdbReader::Handle& h, uint32_t pr, const std::string& what) {
  MdbHandle* mdb = h.mdb;
  const int pgSize = static_cast<int>(mdb->fmt->pg_size);
  const int rco = mdb->fmt->row_count_offset;
  uint32_t page = pr >> 8, row = pr & 0xFF;
  if (page == 0 || page >= h.pageCount || mdb_read_alt_pg(mdb, page) != pgSize)
    damaged(h.name, what + " has its usage map outside the file");
  const uint8_t* buf = mdb->alt_pg_buf;
  uint32_t rows = static_cast<uint32_t>(mdb_get_int16(const_cast<uint8_t*>(buf), rco));
  if (buf[0] != MDB_PAGE_DATA || row >= rows || rco + 2 + 2 * static_cast<int>(row) + 2 > pgSize)
    damaged(h.name, what + " has a missing usage map");
  int start =
      mdb_get_int16(const_cast<uint8_t*>(buf), rco + 2 + 2 * static_cast<int>(row)) & 0x1FFF;
  int end =
      row == 0 ? pgSize
               : mdb_get_int16(const_cast<uint8_t*>(buf), rco + 2 * static_cast<int>(row)) & 0x1FFF;
  if (start >= end || end > pgSize || end - start < 5)
    damaged(h.name, what + " has a damaged usage map");
  if (buf[start] == 1)
    for (int off = start + 1; off + 4 <= end; off += 4) {
      uint32_t bitmap = get32(buf + off);
      if (bitmap >= h.pageCount)
        damaged(h.name, what + " has a usage map pointing outside the file");
    }
}

void checkTableMaps(MdbReader::Handle& h, unsigned long tdefPage, const std::string& what) {
  MdbHandle* mdb = h.mdb;
  const int pgSize = static_cast<int>(mdb->fmt->pg_size);
  if (tdefPage == 0 || tdefPage >= h.pageCount || mdb_read_alt_pg(mdb, tdefPage) != pgSize ||
      mdb->alt_pg_buf[0] != MDB_PAGE_TABLE)
    damaged(h.name, what + " has no table definition");
  uint32_t owned = get32(mdb->alt_pg_buf + mdb->fmt->tab_usage_map_offset);
  uint32_t free = get32(mdb->alt_pg_buf + mdb->fmt->tab_free_map_offset);
  checkMapRow(h, owned, what);
  checkMapRow(h, free, what);
}

}  // namespace

std::unique_ptr<MdbReader> MdbReader::openFile(const std::string& path) {
  std::string name(fileNameOf(path));
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EngineError(ErrorKind::NotFound, "Could not find file '" + path + "'");
  std::string head(PageSize, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  in.seekg(0, std::ios::end);
  auto size = static_cast<uint64_t>(in.tellg());
  checkHeader(head, name, size);
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  return std::unique_ptr<MdbReader>(new MdbReader(finishOpen(mdb, name, size)));
}

std::unique_ptr<MdbReader> MdbReader::openBuffer(std::string& bytes, const std::string& name) {
  checkHeader(bytes.substr(0, PageSize), name, bytes.size());
  MdbHandle* mdb = mdb_open_buffer(bytes.data(), bytes.size(), MDB_NOFLAGS);
  return std::unique_ptr<MdbReader>(new MdbReader(finishOpen(mdb, name, bytes.size())));
}

namespace {

class TableReader {
 public:
  TableReader(MdbReader::Handle& h, MdbTableDef* table) : h_(h), mdb_(h.mdb), table_(table) {}

  std::vector<FieldInfo> fields() {
    std::vector<FieldInfo> out;
    for (unsigned i = 0; i < table_->num_cols; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
      FieldInfo f;
      f.name = col->name;
      switch (col->col_type) {
        case MDB_BOOL:
          f.type = VT_BOOL;
          break;
        case MDB_BYTE:
          f.type = VT_UI1;
          break;
        case MDB_INT:
          f.type = VT_I2;
          break;
        case MDB_LONGINT:
          f.type = VT_I4;
          break;
        case MDB_MONEY:
          f.type = VT_CY;
          break;
        case MDB_FLOAT:
          f.type = VT_R4;
          break;
        case MDB_DOUBLE:
          f.type = VT_R8;
          break;
        case MDB_DATETIME:
          f.type = VT_DATE;
          break;
        case MDB_TEXT:
          f.type = VT_BSTR;
          f.size = h_.jet4 ? col->col_size / 2 : col->col_size;
          break;
        case MDB_MEMO:
          f.type = VT_BSTR;
          break;
        case MDB_REPID:
          f.type = VT_BSTR;
          f.size = 38;
          break;
        case MDB_NUMERIC:
          f.type = VT_DECIMAL;
          break;
        default:
          f.type = VT_BINARY;
          break;  // binary, OLE and anything newer
      }
      out.push_back(std::move(f));
    }
    return out;
  }

  void run(const std::function<bool(const std::vector<Variant>&)>& onRow) {
    const unsigned numCols = table_->num_cols;
    std::vector<MdbField> fields(numCols ? numCols : 1);
    std::vector<Variant> row(numCols);
    const int pgSize = static_cast<int>(mdb_->fmt->pg_size);
    const int rco = mdb_->fmt->row_count_offset;
    mdb_rewind_table(table_);
    uint64_t pagesVisited = 0;
    while (mdb_read_next_dpg(table_)) {
      if (++pagesVisited > h_.pageCount)
        damaged(h_.name, "table " + tableName() + " loops over its pages");
      unsigned rows = mdb_get_int16(mdb_->pg_buf, rco);
      if (rows > static_cast<unsigned>((pgSize - rco) / 2))
        damaged(h_.name, "page " + std::to_string(table_->cur_phys_pg) + " of table " +
                             tableName() + " claims " + std::to_string(rows) + " rows");
      for (unsigned r = 0; r < rows; ++r) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb_, static_cast<int>(r), &start, &size) == -1 || size == 0) continue;
        if (start & 0x4000) continue;  // deleted row
        start &= 0x1FFF;
        if (start + size > static_cast<size_t>(pgSize)) continue;
        int n = mdb_crack_row(table_, start, size, fields.data());
        if (n < 0) damaged(h_.name, rowPlace() + ": the row cannot be decoded");
        ++rowNumber_;
        for (unsigned c = 0; c < numCols; ++c) decode(c, fields[c], row[c]);
        if (!onRow(row)) return;
      }
    }
  }

 private:
  std::string tableName() const { return table_->name; }
  std::string rowPlace() const {
    return "table " + tableName() + ", row " + std::to_string(rowNumber_ + 1);
  }

  const uint8_t* bytesAt(const MdbField& f, int need) {
    if (f.start < 0 || f.siz < need || f.start + f.siz > static_cast<int>(mdb_->fmt->pg_size))
      return nullptr;
    return mdb_->pg_buf + f.start;
  }

  void decode(unsigned c, const MdbField& f, Variant& v) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, c));
    if (col->col_type == MDB_BOOL) {
      v = Variant::boolean(!f.is_null);
      return;
    }
    if (f.is_null) {
      v.setNull();
      return;
    }
    const uint8_t* p = nullptr;
    auto fixed = [&](int size) {
      p = bytesAt(f, size);
      if (!p) v.setNull();
      return p != nullptr;
    };
    switch (col->col_type) {
      case MDB_BYTE:
        if (fixed(1)) v = Variant::ui1(p[0]);
        return;
      case MDB_INT:
        if (fixed(2)) v = Variant::i2(static_cast<int16_t>(p[0] | p[1] << 8));
        return;
      case MDB_LONGINT:
        if (fixed(4)) v = Variant::i4(static_cast<int32_t>(get32(p)));
        return;
      case MDB_MONEY:
        if (fixed(8)) {
          int64_t cy;
          std::memcpy(&cy, p, 8);
          v = Variant::currency(cy);
        }
        return;
      case MDB_FLOAT:
        if (fixed(4)) {
          float x;
          std::memcpy(&x, p, 4);
          v = Variant::r4(x);
        }
        return;
      case MDB_DOUBLE:
        if (fixed(8)) {
          double x;
          std::memcpy(&x, p, 8);
          v = Variant::r8(x);
        }
        return;
      case MDB_DATETIME:
        if (fixed(8)) {
          double x;
          std::memcpy(&x, p, 8);
          v = Variant::oleDate(x);
        }
        return;
      case MDB_REPID:
        if (fixed(16)) {
          char* s = mdb_uuid_to_string(mdb_->pg_buf, f.start);
          v.setText(s ? s : "");
          g_free(s);
        }
        return;
      case MDB_NUMERIC:
        if (fixed(17)) {
          char* s = mdb_numeric_to_string(mdb_, f.start, col->col_scale, col->col_prec);
          v = Variant::decimal(s ? s : "");
          g_free(s);
        }
        return;
      case MDB_TEXT:
        p = bytesAt(f, 0);
        if (!p) {
          v.setNull();
          return;
        }
        setText(v, p, static_cast<size_t>(f.siz));
        return;
      case MDB_MEMO:
      case MDB_OLE: {
        std::string bytes;
        if (!readLongValue(f, bytes)) {
          v.setNull();
          return;
        }
        if (col->col_type == MDB_MEMO)
          setText(v, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        else
          v = Variant::bytes(bytes);
        return;
      }
      default:
        p = bytesAt(f, 0);
        if (!p) {
          v.setNull();
          return;
        }
        v = Variant::bytes(
            std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz)));
        return;
    }
  }

  void setText(Variant& v, const uint8_t* p, size_t size) {
    if (h_.jet4) {
      v.setText(jet4TextToUtf8(p, size));
      return;
    }
    // Jet 3 text is in the database's code page; libmdb converts it.
    std::string out(size * 3 + 1, '\0');
    int n = mdb_unicode2ascii(mdb_, reinterpret_cast<const char*>(p), size, out.data(), out.size());
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    v.setText(out);
  }

  // Memo and OLE values: a 12-byte header in the row, the data inline or in "LVAL" rows on
  // other pages. Every pointer is checked; a chain that loops or overruns its stated length
  // is damage.
  bool readLongValue(const MdbField& f, std::string& out) {
    const uint8_t* p = bytesAt(f, 12);
    if (!p) return false;
    uint32_t head = get32(p);
    size_t length = head & 0x3FFFFFFF;
    uint32_t flags = head & 0xC0000000;
    if (flags & 0x80000000) {
      size_t inlineSize = static_cast<size_t>(f.siz) - 12;
      out.assign(reinterpret_cast<const char*>(p + 12), std::min(length, inlineSize));
      return true;
    }
    uint32_t pgRow = get32(p + 4);
    const uint64_t maxLength = h_.pageCount * static_cast<uint64_t>(mdb_->fmt->pg_size);
    if (length > maxLength)
      damaged(h_.name, rowPlace() + ": a long value claims " + std::to_string(length) + " bytes");
    out.clear();
    out.reserve(length);
    std::unordered_set<uint32_t> seen;
    while (true) {
      void* buf = nullptr;
      int off = 0;
      size_t len = 0;
      if ((pgRow >> 8) >= h_.pageCount ||
          mdb_find_pg_row(mdb_, static_cast<int>(pgRow), &buf, &off, &len) != 0)
        damaged(h_.name, rowPlace() + ": a long value points outside the file");
      if (off < 0 || off + len > static_cast<size_t>(mdb_->fmt->pg_size))
        damaged(h_.name, rowPlace() + ": a long value points outside its page");
      const uint8_t* row = static_cast<const uint8_t*>(buf) + off;
      if (flags & 0x40000000) {  // the whole value in one row
        out.assign(reinterpret_cast<const char*>(row), std::min(len, length));
        return true;
      }
      if (len < 4) damaged(h_.name, rowPlace() + ": a long value row is too short");
      if (!seen.insert(pgRow).second) damaged(h_.name, rowPlace() + ": a long value chain loops");
      uint32_t next = get32(row);
      size_t take = std::min(len - 4, length - out.size());
      out.append(reinterpret_cast<const char*>(row + 4), take);
      if (out.size() >= length || next == 0) return true;
      pgRow = next;
    }
  }

  MdbReader::Handle& h_;
  MdbHandle* mdb_;
  MdbTableDef* table_;
  int64_t rowNumber_ = 0;
};

}  // namespace

namespace {

// Reads a table whose catalogue entry is `entry`, checked first; the table is freed by
// the guard.
MdbTableDef* openTable(MdbReader::Handle& h, MdbCatalogEntry* entry, TableGuard& guard) {
  const std::string what = std::string("table ") + entry->object_name;
  checkTableMaps(h, entry->table_pg, what);
  guard.table = mdb_read_table(entry);
  if (!guard.table) damaged(h.name, "the definition of " + what + " cannot be read");
  if (guard.table->num_cols > 255 || !mdb_read_columns(guard.table) ||
      guard.table->columns->len != guard.table->num_cols)
    damaged(h.name, "the columns of " + what + " cannot be read");
  return guard.table;
}

void readCatalog(MdbReader::Handle& h) {
  if (h.catalogRead) return;
  MdbCatalogEntry self{};
  self.mdb = h.mdb;
  std::strcpy(self.object_name, "MSysObjects");
  self.object_type = MDB_TABLE;
  self.table_pg = 2;  // the catalogue's definition is always on page 2
  TableGuard guard;
  TableReader reader(h, openTable(h, &self, guard));
  std::vector<FieldInfo> fields = reader.fields();
  int id = -1, name = -1, type = -1, flags = -1;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name == "Id") id = static_cast<int>(i);
    if (fields[i].name == "Name") name = static_cast<int>(i);
    if (fields[i].name == "Type") type = static_cast<int>(i);
    if (fields[i].name == "Flags") flags = static_cast<int>(i);
  }
  if (id < 0 || name < 0 || type < 0 || flags < 0)
    damaged(h.name, "its table catalogue lacks the columns Id, Name, Type and Flags");
  reader.run([&](const std::vector<Variant>& row) {
    const Variant &vId = row[id], &vName = row[name], &vType = row[type], &vFlags = row[flags];
    if (vId.vt != VT_I4 || vName.vt != VT_BSTR || vType.vt != VT_I2) return true;
    auto entry = std::make_unique<MdbCatalogEntry>();
    std::memset(entry.get(), 0, sizeof(MdbCatalogEntry));
    entry->mdb = h.mdb;
    std::string objectName(utf8Prefix(vName.str, 64));
    std::strncpy(entry->object_name, objectName.c_str(), MDB_MAX_OBJ_NAME);
    entry->object_type = vType.iVal & 0x7F;
    entry->table_pg = static_cast<uint32_t>(vId.lVal) & 0x00FFFFFF;
    entry->flags = vFlags.vt == VT_I4 ? vFlags.lVal : 0;
    h.catalog.push_back(std::move(entry));
    return h.catalog.size() < 100000;
  });
  h.catalogRead = true;
}

}  // namespace

std::vector<TableDefInfo> MdbReader::tables() {
  readCatalog(*h_);
  std::vector<TableDefInfo> out;
  for (const auto& entry : h_->catalog) {
    int type = entry->object_type;
    if (type != MDB_TABLE && type != MDB_LINKED_TABLE && type != 4 /* ODBC-linked */) continue;
    TableDefInfo info;
    info.name = entry->object_name;
    if (type != MDB_TABLE)
      info.attributes = TableAttrLinked;
    else if (static_cast<uint32_t>(entry->flags) & 0x80000002u)
      info.attributes = TableAttrSystem;
    out.push_back(std::move(info));
  }
  return out;
}

void MdbReader::readTable(const std::string& name,
                          const std::function<void(const std::vector<FieldInfo>&)>& onSchema,
                          const std::function<bool(const std::vector<Variant>&)>& onRow) {
  readCatalog(*h_);
  MdbCatalogEntry* found = nullptr;
  for (const auto& entry : h_->catalog)
    if (!found && entry->object_type == MDB_TABLE && equalsNoCase(entry->object_name, name))
      found = entry.get();
  if (!found)
    throw EngineError(ErrorKind::NotFound,
                      "The table '" + name + "' does not exist in " + h_->name);
  TableGuard guard;
  TableReader reader(*h_, openTable(*h_, found, guard));
  onSchema(reader.fields());
  reader.run(onRow);
}

}  // namespace tabulor::jet
