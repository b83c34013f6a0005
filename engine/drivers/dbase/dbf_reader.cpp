// The dBase reader. Listing a folder reads only its directory (a folder of thousands of
// tables lists at once); opening a table reads the header, finds its memo file and code
// page (refusing a code page byte it does not know), and the cursor then reads records in
// large blocks, skipping deleted ones.
#include "engine/drivers/dbase/dbf_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/drivers/dbase/code_pages.h"
#include "engine/drivers/dbase/dbf_header.h"
#include "engine/drivers/dbase/memo_file.h"
#include "engine/engine_error.h"
#include "engine/file_descriptor.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/ole_date.h"

namespace tabulor::dbase {

namespace {

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string stem(std::string_view fileName) {
  std::string_view ext = extensionOf(fileName);
  return std::string(fileName.substr(0, fileName.size() - ext.size()));
}

// The entry of `folder` named `wanted` without regard to case ("" when there is none);
// an exact match wins.
std::string findNoCase(const std::string& folder, const std::string& wanted) {
  if (isRegularFile(joinPath(folder, wanted))) return wanted;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return {};
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (equalsNoCase(e->d_name, wanted)) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

class DbfCursor : public RowCursor {
 public:
  DbfCursor(const std::string& path, const std::string& tableName);
  const std::vector<FieldInfo>& fields() const override { return infos_; }
  bool next(std::vector<Variant>& row) override;
  void reset() override {
    recordIdx_ = 0;
    bufferFirst_ = bufferCount_ = 0;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw EngineError(ErrorKind::BadInput, fileName_ + ", table " + tableName_ + ", record " +
                                               std::to_string(recordIdx_) + ": " + what);
  }
  void fillBuffer();
  void decodeField(const DbfField& f, const char* p, Variant& out);
  void readMemo(const DbfField& f, std::string_view raw, Variant& out);

  std::string path_, fileName_, tableName_;
  FileDescriptor file_;
  DbfHeader header_;
  std::vector<size_t> columns_;  // indexes into header_.fields of the visible fields
  std::vector<FieldInfo> infos_;
  TextDecoder decoder_;
  std::string memoPath_;
  std::unique_ptr<MemoReader> memo_;
  std::string buffer_, scratch_;
  uint32_t recordIdx_ = 0, bufferFirst_ = 0, bufferCount_ = 0;
};

bool isMemoType(const DbfField& f, bool foxPro) {
  if (f.type == 'M' || f.type == 'G' || f.type == 'P') return true;
  return f.type == 'B' && !(foxPro && f.length == 8);
}

DbfCursor::DbfCursor(const std::string& path, const std::string& tableName)
    : path_(path),
      fileName_(fileNameOf(path)),
      tableName_(tableName),
      file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (!file_.valid()) throw EngineError(ErrorKind::Io, "Cannot open " + path);
  struct stat st {};
  ::fstat(file_.get(), &st);
  auto fileSize = static_cast<uint64_t>(st.st_size);
  std::string head(32, '\0');
  ssize_t n = ::pread(file_.get(), head.data(), 32, 0);
  head.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (head.size() == 32) {
    uint16_t headerLength = readU16(head.data() + 8);
    if (headerLength > 32 && headerLength <= fileSize) {
      head.resize(headerLength);
      n = ::pread(file_.get(), head.data(), headerLength, 0);
      head.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
  }
  header_ = parseDbfHeader(head, fileSize, fileName_);

  std::string folder = folderOf(path);
  std::string cpg = findNoCase(folder, stem(fileName_) + ".cpg");
  std::string codePage;
  if (!cpg.empty()) {
    std::string text;
    int cfd = ::open(joinPath(folder, cpg).c_str(), O_RDONLY | O_CLOEXEC);
    if (cfd >= 0) {
      char buf[64];
      ssize_t got = ::read(cfd, buf, sizeof buf);
      if (got > 0) text.assign(buf, static_cast<size_t>(got));
      ::close(cfd);
    }
    codePage = codePageOfCpg(text);
  }
  if (codePage.empty() && header_.languageDriver != 0) {
    // A byte that names a code page this program does not know would have its text decoded
    // by a guess, which garbles every letter outside ASCII: refuse it instead.
    const char* cp = codePageOfLanguageDriver(header_.languageDriver);
    if (!cp) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", header_.languageDriver);
      throw EngineError(ErrorKind::Unsupported,
                        fileName_ + ": the code page byte " + byte +
                            " (language driver) names a code page this program does not know, "
                            "so its text cannot be read");
    }
    codePage = cp;
  }
  decoder_ = TextDecoder(codePage);

  bool foxPro = header_.isFoxPro();
  bool anyMemo = false;
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    const DbfField& f = header_.fields[i];
    if (f.type == '0' || (f.flags & 0x01)) continue;  // Visual FoxPro system columns
    FieldInfo info;
    std::string name;
    decoder_.decode(f.name, name);
    info.name = name;
    switch (f.type) {
      case 'N':
      case 'F':
        // Values that do not fit (an exponent in a short field) come as VT_R8 all the same.
        info.type = (f.decimals == 0 && f.length <= 9) ? VT_I4 : VT_R8;
        break;
      case 'D':
        info.type = VT_DATE;
        break;
      case 'T':
        info.type = VT_DATE;
        break;
      case 'L':
        info.type = VT_BOOL;
        break;
      case 'I':
        info.type = VT_I4;
        break;
      case 'Y':
        info.type = VT_CY;
        break;
      case 'B':
        info.type = isMemoType(f, foxPro) ? VT_BINARY : static_cast<uint16_t>(VT_R8);
        break;
      case 'G':
      case 'P':
      case 'Q':
        info.type = VT_BINARY;
        break;
      case 'C':
        info.type = VT_BSTR;
        info.size = static_cast<int32_t>(f.length);
        break;
      default:
        info.type = VT_BSTR;
        break;
    }
    if (isMemoType(f, foxPro)) anyMemo = true;
    columns_.push_back(i);
    infos_.push_back(std::move(info));
  }
  if (anyMemo) {
    const char* ext = header_.memoKind() == MemoKind::Fpt ? ".fpt" : ".dbt";
    std::string memoName = findNoCase(folder, stem(fileName_) + ext);
    if (memoName.empty() && header_.memoKind() != MemoKind::Fpt)
      memoName = findNoCase(folder, stem(fileName_) + ".fpt");
    memoPath_ = memoName.empty() ? std::string() : joinPath(folder, memoName);
  }
}

void DbfCursor::fillBuffer() {
  const uint32_t perBlock = std::max<uint32_t>(1, (1u << 18) / header_.recordLength);
  bufferFirst_ = recordIdx_;
  bufferCount_ = std::min(perBlock, header_.recordCount - recordIdx_);
  size_t bytes = static_cast<size_t>(bufferCount_) * header_.recordLength;
  buffer_.resize(bytes);
  uint64_t offset = header_.headerLength + static_cast<uint64_t>(recordIdx_) * header_.recordLength;
  size_t done = 0;
  while (done < bytes) {
    ssize_t n = ::pread(file_.get(), buffer_.data() + done, bytes - done,
                        static_cast<off_t>(offset + done));
    if (n <= 0) fail("the file ends inside a record");
    done += static_cast<size_t>(n);
  }
}

bool DbfCursor::next(std::vector<Variant>& row) {
  for (;;) {
    if (recordIdx_ >= header_.recordCount) return false;
    if (recordIdx_ < bufferFirst_ || recordIdx_ >= bufferFirst_ + bufferCount_) fillBuffer();
    const char* record =
        buffer_.data() + static_cast<size_t>(recordIdx_ - bufferFirst_) * header_.recordLength;
    if (*record == '*') {
      ++recordIdx_;
      continue;
    }
    row.resize(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) {
      const DbfField& f = header_.fields[columns_[c]];
      decodeField(f, record + f.offset, row[c]);
    }
    ++recordIdx_;
    return true;
  }
}

std::string_view trimmed(const char* p, size_t n) {
  size_t b = 0, e = n;
  while (b < e && (p[b] == ' ' || p[b] == '\0')) ++b;
  while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0')) --e;
  return {p + b, e - b};
}

// Parses dBase number text; nullopt when it is not a plain decimal number.
std::optional<double> parseNumber(std::string_view s, int& significant) {
  significant = 0;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool digits = false, dot = false, leading = true;
  int trailingZeros = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      if (c != '0' || !leading) {
        leading = false;
        ++significant;
        trailingZeros = c == '0' ? trailingZeros + 1 : 0;
      }
    } else if (c == '.' && !dot) {
      dot = true;
    } else if ((c == 'e' || c == 'E') && digits) {
      break;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  if (dot) significant -= trailingZeros;
  std::string text(s);
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

void DbfCursor::decodeField(const DbfField& f, const char* p, Variant& out) {
  switch (f.type) {
    case 'C': {
      std::string_view raw(p, f.length);
      size_t e = raw.size();
      while (e > 0 && (raw[e - 1] == ' ' || raw[e - 1] == '\0')) --e;
      if (e == 0) {
        out.setNull();
        return;
      }
      out.vt = VT_BSTR;
      decoder_.decode(raw.substr(0, e), out.str);
      return;
    }
    case 'N':
    case 'F': {
      std::string_view s = trimmed(p, f.length);
      if (s.empty() || s.find_first_not_of('*') == std::string_view::npos) {
        out.setNull();
        return;
      }
      int significant = 0;
      std::optional<double> v = parseNumber(s, significant);
      if (!v) {
        out.vt = VT_BSTR;
        decoder_.decode(s, out.str);
        return;
      }
      out.str.clear();
      // Nine digits always fit 32 bits, but an exponent ("6e10") reaches past them: such a
      // value is delivered as the double it is, never narrowed.
      if (f.decimals == 0 && f.length <= 9 && *v == std::trunc(*v) && *v >= -2147483648.0 &&
          *v <= 2147483647.0) {
        out.vt = VT_I4;
        out.lVal = static_cast<int32_t>(*v);
      } else if (significant > 15) {
        out.vt = VT_DECIMAL;  // keeps digits a double would round away
        out.str.assign(s.data(), s.size());
        if (!out.str.empty() && out.str[0] == '+') out.str.erase(0, 1);
      } else {
        out.vt = VT_R8;
        out.dblVal = *v;
      }
      return;
    }
    case 'D': {
      std::string_view s = trimmed(p, f.length);
      if (s.empty() || s == "00000000") {
        out.setNull();
        return;
      }
      DateTimeParts parts;
      bool ok = s.size() == 8 && s.find_first_not_of("0123456789") == std::string_view::npos;
      std::optional<double> date;
      if (ok) {
        parts.year = std::stoi(std::string(s.substr(0, 4)));
        parts.month = std::stoi(std::string(s.substr(4, 2)));
        parts.day = std::stoi(std::string(s.substr(6, 2)));
        date = oleDateFromParts(parts);
      }
      if (!date) {  // not a date: keep the stored text rather than lose it
        out.vt = VT_BSTR;
        decoder_.decode(s, out.str);
        return;
      }
      out.str.clear();
      out.vt = VT_DATE;
      out.date = *date;
      return;
    }
    case 'L': {
      char c = *p;
      out.str.clear();
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') {
        out.vt = VT_BOOL;
        out.boolVal = VARIANT_TRUE;
      } else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') {
        out.vt = VT_BOOL;
        out.boolVal = VARIANT_FALSE;
      } else {
        out.setNull();
      }
      return;
    }
    case 'I':
      if (f.length == 4) {
        out.str.clear();
        out.vt = VT_I4;
        out.lVal = static_cast<int32_t>(readU32(p));
        return;
      }
      break;
    case 'Y':
      if (f.length == 8) {
        out.str.clear();
        out.vt = VT_CY;
        out.cyVal = static_cast<int64_t>(static_cast<uint64_t>(readU32(p)) |
                                         static_cast<uint64_t>(readU32(p + 4)) << 32);
        return;
      }
      break;
    case 'T':
      if (f.length == 8) {
        int32_t julian = static_cast<int32_t>(readU32(p));
        int32_t ms = static_cast<int32_t>(readU32(p + 4));
        if (julian == 0 && ms == 0) {
          out.setNull();
          return;
        }
        out.str.clear();
        out.vt = VT_DATE;
        // Julian day 2415019 is 1899-12-30, day 0 of OLE dates.
        out.date = (julian == 0 ? 0.0 : static_cast<double>(julian) - 2415019.0) +
                   static_cast<double>(ms) / 86400000.0;
        return;
      }
      break;
    case 'B':
      if (header_.isFoxPro() && f.length == 8) {
        uint64_t bits = static_cast<uint64_t>(readU32(p)) | static_cast<uint64_t>(readU32(p + 4))
                                                                << 32;
        double d;
        std::memcpy(&d, &bits, 8);
        out.str.clear();
        out.vt = VT_R8;
        out.dblVal = d;
        return;
      }
      readMemo(f, std::string_view(p, f.length), out);
      return;
    case 'M':
    case 'G':
    case 'P':
      readMemo(f, std::string_view(p, f.length), out);
      return;
    case 'Q': {
      out.vt = VT_BINARY;
      out.str.assign(p, f.length);
      return;
    }
    default:
      break;
  }
  std::string_view s = trimmed(p, f.length);
  if (s.empty()) {
    out.setNull();
    return;
  }
  out.vt = VT_BSTR;
  decoder_.decode(s, out.str);
}

void DbfCursor::readMemo(const DbfField& f, std::string_view raw, Variant& out) {
  uint32_t block = 0;
  if (f.length == 4) {
    block = readU32(raw.data());
  } else {
    std::string_view s = trimmed(raw.data(), raw.size());
    for (char c : s) {
      if (c < '0' || c > '9') fail("field " + f.name + " holds no memo block number");
      if (block > 429496728u) fail("field " + f.name + " holds a memo block number out of range");
      block = block * 10 + static_cast<uint32_t>(c - '0');
    }
  }
  if (block == 0) {
    out.setNull();
    return;
  }
  if (!memo_) {
    if (memoPath_.empty())
      fail("the memo file " + stem(fileName_) +
           (header_.memoKind() == MemoKind::Fpt ? ".fpt" : ".dbt") + " is missing");
    memo_ = std::make_unique<MemoReader>(memoPath_, header_.memoKind() == MemoKind::Fpt);
  }
  bool binary = false;
  try {
    memo_->read(block, scratch_, &binary);
  } catch (const EngineError& e) {
    fail(e.what());
  }
  binary = binary || f.type == 'G' || f.type == 'P' || f.type == 'B' || (f.flags & 0x04);
  if (binary) {
    out.vt = VT_BINARY;
    out.str = scratch_;
    return;
  }
  if (scratch_.empty()) {
    out.setNull();
    return;
  }
  out.vt = VT_BSTR;
  decoder_.decode(scratch_, out.str);
}

class DbfFolder : public SourceDatabase {
 public:
  DbfFolder(std::string folder, std::string onlyFile)
      : folder_(std::move(folder)), onlyFile_(std::move(onlyFile)) {}

  std::vector<TableDefInfo> tables() override {
    std::vector<TableDefInfo> out;
    if (!onlyFile_.empty()) {
      out.push_back({stem(onlyFile_), 0, onlyFile_});
      return out;
    }
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir) throw EngineError(ErrorKind::Io, "Cannot list the folder " + folder_);
    while (dirent* e = ::readdir(dir)) {
      std::string_view name(e->d_name);
      if (!equalsNoCase(extensionOf(name), ".dbf") || name.size() <= 4) continue;
      if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
      if (e->d_type != DT_REG && !isRegularFile(joinPath(folder_, name))) continue;
      out.push_back({stem(name), 0, std::string(name)});
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const TableDefInfo& a, const TableDefInfo& b) { return a.fileName < b.fileName; });
    return out;
  }

  std::unique_ptr<RowCursor> openTable(const std::string& name) override {
    std::string file;
    if (name.find('/') != std::string::npos) {
      // A table name never leads out of the folder.
    } else if (!onlyFile_.empty()) {
      if (equalsNoCase(stem(onlyFile_), name)) file = onlyFile_;
    } else {
      // Cheap paths first: the exact file names a table name usually comes from.
      for (const char* ext : {".dbf", ".DBF"})
        if (file.empty() && isRegularFile(joinPath(folder_, name + ext))) file = name + ext;
      if (file.empty())
        for (const auto& t : tables())
          if (equalsNoCase(t.name, name)) {
            file = t.fileName;
            break;
          }
    }
    if (file.empty())
      throw EngineError(ErrorKind::NotFound,
                        "The table " + clipForMessage(name) + " does not exist in " + folder_);
    return std::make_unique<DbfCursor>(joinPath(folder_, file), name);
  }

 private:
  std::string folder_, onlyFile_;
};

}  // namespace

std::unique_ptr<SourceDatabase> openDbfDatabase(const std::string& name) {
  if (isDirectory(name)) return std::make_unique<DbfFolder>(name, std::string());
  if (isRegularFile(name)) {
    // A single file is this driver's only when its header holds together.
    openDbfTable(name, std::string(fileNameOf(name)));
    return std::make_unique<DbfFolder>(folderOf(name), std::string(fileNameOf(name)));
  }
  throw EngineError(ErrorKind::NotFound, "The folder " + name + " does not exist");
}

std::unique_ptr<RowCursor> openDbfTable(const std::string& path, const std::string& tableName) {
  return std::make_unique<DbfCursor>(path, tableName);
}

}  // namespace tabulor::dbase
