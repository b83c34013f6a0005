// The text folder database and its row cursor.
#include "engine/drivers/text/text_source.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/drivers/text/csv_scanner.h"
#include "engine/drivers/text/text_input.h"
#include "engine/drivers/text/text_layout.h"
#include "engine/drivers/text/type_guess.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"
#include "engine/text_codec.h"

namespace tabulor {

namespace {

// Table widths beyond this are refused (FieldInfo per column; Jet allowed 255).
constexpr size_t MaxColumns = 16384;
// Bytes read for delimiter detection and the binary-file check.
constexpr size_t SampleBytes = 64 << 10;

class TextCursor : public RowCursor {
 public:
  TextCursor(const std::string& path, const std::string& fileName, const TextLayout& layout)
      : input_(path, fileName, layout.characterSet), fileName_(fileName) {
    char delimiter = layout.delimiter;
    std::string sample(SampleBytes, '\0');
    size_t got = 0;
    while (got < sample.size()) {
      size_t n = input_.read(sample.data() + got, sample.size() - got);
      if (n == 0) break;
      got += n;
    }
    sample.resize(got);
    if (sample.find('\0') != std::string::npos)
      throw EngineError(ErrorKind::BadInput,
                        fileName +
                            " is not a text file (it holds NUL bytes: binary data, or "
                            "UTF-16 text without a byte-order mark)");
    if (!layout.delimiterGiven) delimiter = detectDelimiter(sample, got < SampleBytes);
    input_.rewind();
    scanner_ = std::make_unique<CsvScanner>(input_, delimiter);
    header_ = layout.header;
    scanner_->setRowNumbering(header_ ? 0 : 1);
    guessFields();
    reset();
  }

  const std::vector<FieldInfo>& fields() const override { return fields_; }

  bool next(std::vector<Variant>& row) override {
    if (!scanner_->next(values_)) return false;
    size_t columns = fields_.size();
    if (values_.size() > columns) checkExtraFields();
    row.resize(columns);
    size_t present = std::min(values_.size(), columns);
    for (size_t i = 0; i < present; ++i) convertField(fields_[i].type, values_[i], row[i]);
    for (size_t i = present; i < columns; ++i) row[i].vt = VT_NULL;
    return true;
  }

  void reset() override {
    scanner_->rewind();
    if (header_) scanner_->next(values_);
  }

 private:
  // Names from the header line, types from the first rows. The table is as wide as the
  // widest of those records; a later record with more non-empty fields is an error.
  void guessFields() {
    std::vector<std::string_view> header;
    std::vector<std::string> headerCopy;
    if (header_ && scanner_->next(values_)) {
      headerCopy.assign(values_.begin(), values_.end());
      header.assign(headerCopy.begin(), headerCopy.end());
    }
    if (header.size() > MaxColumns) tooWide();
    size_t columns = header.size();
    std::vector<ColumnTypeGuess> guesses(columns);
    int rowIdx = 0;
    for (; rowIdx < TypeGuessRows && scanner_->next(values_); ++rowIdx) {
      size_t used = values_.size();
      while (used > columns && values_[used - 1].empty()) --used;  // trailing empty fields
      if (used > columns) {
        if (used > MaxColumns) tooWide();
        columns = used;
        guesses.resize(columns);
      }
      for (size_t colIdx = 0; colIdx < used; ++colIdx) guesses[colIdx].add(values_[colIdx]);
    }
    if (columns > MaxColumns) tooWide();
    // Records whose fields are all empty are rows all the same: without a header line to
    // name the fields, they still need one to be written (and read back) as rows.
    if (columns == 0 && rowIdx > 0) {
      columns = 1;
      guesses.resize(1);
    }
    auto names = fieldNamesFromHeader(header, columns);
    fields_.resize(columns);
    for (size_t colIdx = 0; colIdx < columns; ++colIdx) {
      fields_[colIdx].name = names[colIdx];
      fields_[colIdx].type = guesses[colIdx].type();
    }
  }

  [[noreturn]] void tooWide() {
    throw EngineError(ErrorKind::Limit, fileName_ + ": more than " + withThousands(MaxColumns) +
                                            " fields in one record");
  }

  void checkExtraFields() {
    for (size_t i = fields_.size(); i < values_.size(); ++i) {
      if (!values_[i].empty())
        throw EngineError(ErrorKind::BadInput,
                          scanner_->where(scanner_->rowNumber()) + ": " +
                              withThousands(static_cast<int64_t>(values_.size())) +
                              " fields where the table has " +
                              withThousands(static_cast<int64_t>(fields_.size())) + " (field " +
                              withThousands(static_cast<int64_t>(i + 1)) + " holds \"" +
                              clipForMessage(values_[i]) + "\")");
    }
  }

  TextInput input_;
  std::string fileName_;
  std::unique_ptr<CsvScanner> scanner_;
  bool header_ = true;
  std::vector<FieldInfo> fields_;
  std::vector<std::string_view> values_;
};

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class TextFolder : public SourceDatabase {
 public:
  explicit TextFolder(std::string folder) : folder_(std::move(folder)) {}

  std::vector<TableDefInfo> tables() override {
    std::vector<std::string> files = listTextFiles();
    std::vector<TableDefInfo> tables;
    tables.reserve(files.size());
    for (auto& file : files) tables.push_back({textTableName(file), 0, file});
    return tables;
  }

  std::unique_ptr<RowCursor> openTable(const std::string& name) override {
    std::string fileName = findFile(name);
    if (fileName.empty())
      throw EngineError(ErrorKind::NotFound, "The table " + clipForMessage(name) +
                                                 " does not exist in the folder " + folder_);
    TextLayout layout = layoutFromSchemaIni(folder_, fileName);
    if (layout.fixedLength)
      throw EngineError(ErrorKind::Unsupported,
                        fileName +
                            ": schema.ini declares Format=FixedLength, which this "
                            "driver does not read");
    return std::make_unique<TextCursor>(joinPath(folder_, fileName), fileName, layout);
  }

 private:
  // Names only, from the directory listing: no file is opened, so a folder of thousands
  // of files lists quickly. Sorted by name so the order is the same on every run.
  std::vector<std::string> listTextFiles() {
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir)
      throw EngineError(ErrorKind::Io,
                        "Cannot list the folder " + folder_ + ": " + systemReason(errno));
    std::vector<std::string> files;
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (!isTextFileName(name)) continue;
      bool regular = entry->d_type == DT_REG;
      if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
        regular = isRegularFile(joinPath(folder_, name));
      if (regular) files.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
  }

  // The file of table `name`: "orders#csv" or the file name "orders.csv", matched exactly
  // first, then without regard to case. "" when there is none.
  std::string findFile(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
      return {};
    std::string candidate = name;
    size_t hash = candidate.rfind('#');
    if (hash != std::string::npos && candidate.find('.', hash) == std::string::npos)
      candidate[hash] = '.';
    if (isTextFileName(candidate) && isRegularFile(joinPath(folder_, candidate))) return candidate;
    if (isTextFileName(name) && isRegularFile(joinPath(folder_, name))) return name;
    for (const auto& file : listTextFiles())
      if (equalsNoCase(file, candidate) || equalsNoCase(file, name) ||
          equalsNoCase(textTableName(file), name))
        return file;
    return {};
  }

  std::string folder_;
};

}  // namespace

std::string textTableName(const std::string& fileName) {
  std::string name = fileName;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name[dot] = '#';
  return name;
}

bool isTextFileName(std::string_view fileName) {
  std::string ext = toLowerAscii(extensionOf(fileName));
  return ext == ".txt" || ext == ".csv" || ext == ".tab" || ext == ".asc";
}

std::unique_ptr<SourceDatabase> openTextFolder(const std::string& folder) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0)
    throw EngineError(ErrorKind::NotFound,
                      "Cannot open the folder " + folder + ": " + systemReason(errno));
  if (!S_ISDIR(st.st_mode))
    throw EngineError(ErrorKind::NotFound, "Cannot open " + folder + ": it is not a folder");
  if (::access(folder.c_str(), R_OK | X_OK) != 0)
    throw EngineError(ErrorKind::Io,
                      "Cannot read the folder " + folder + ": " + systemReason(errno));
  return std::make_unique<TextFolder>(folder);
}

}  // namespace tabulor
