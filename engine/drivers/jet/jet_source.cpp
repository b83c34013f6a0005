// The Jet source database and its row cursor, fed by the reading helper process.
#include "engine/drivers/jet/jet_source.h"

#include <fstream>

#include "engine/drivers/jet/jet_header.h"
#include "engine/drivers/jet/reader_process.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/message_text.h"

namespace tabulor::jet {

namespace {

[[noreturn]] void rethrow(MessageReader& m) {
  throw m.error();
}

class JetCursor : public RowCursor {
 public:
  JetCursor(std::string path, std::string file, std::string table)
      : path_(std::move(path)), file_(std::move(file)), table_(std::move(table)) {
    start();
  }
  const std::vector<FieldInfo>& fields() const override { return fields_; }

  bool next(std::vector<Variant>& row) override {
    if (!process_) return false;
    MessageReader& m = process_->messages();
    char tag = m.tag();
    if (tag == TagRow) {
      m.row(row, fields_.size());
      return true;
    }
    if (tag == TagError) {
      EngineError e = m.error();
      process_.reset();
      throw e;
    }
    process_.reset();
    if (tag != TagEnd)
      throw EngineError(ErrorKind::BadInput, file_ + " is damaged: the Jet reader gave no answer");
    return false;
  }

  void reset() override { start(); }

 private:
  void start() {
    process_.reset();
    process_ =
        std::make_unique<ReaderProcess>(file_, std::vector<std::string>{"read", path_, table_});
    MessageReader& m = process_->messages();
    char tag = m.tag();
    if (tag == TagError) rethrow(m);
    if (tag != TagFields)
      throw EngineError(ErrorKind::BadInput,
                        file_ + " is damaged: table " + table_ + " has no columns");
    fields_ = m.fields();
  }

  std::string path_, file_, table_;
  std::vector<FieldInfo> fields_;
  std::unique_ptr<ReaderProcess> process_;
};

class JetSource : public SourceDatabase {
 public:
  JetSource(std::string path, std::string file, std::vector<TableDefInfo> tables)
      : path_(std::move(path)), file_(std::move(file)), tables_(std::move(tables)) {}

  std::vector<TableDefInfo> tables() override { return tables_; }

  std::unique_ptr<RowCursor> openTable(const std::string& name) override {
    for (const auto& t : tables_)
      if (equalsNoCase(t.name, name)) return std::make_unique<JetCursor>(path_, file_, t.name);
    throw EngineError(ErrorKind::NotFound,
                      "The Microsoft Jet database engine cannot find the input table '" +
                          clipForMessage(name) + "' in " + file_);
  }

 private:
  std::string path_, file_;
  std::vector<TableDefInfo> tables_;
};

}  // namespace

std::unique_ptr<SourceDatabase> openJetSource(const std::string& path) {
  std::string file(fileNameOf(path));
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EngineError(ErrorKind::NotFound, "Could not find file '" + path + "'");
  std::string head(PageSize, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (!looksLikeJet(head))
    throw EngineError(ErrorKind::BadInput,
                      "Unrecognized database format '" + path + "': not a Jet database");
  HeaderInfo info = readHeader(head);
  if (info.hasPassword)
    throw EngineError(ErrorKind::Unsupported,
                      file + " is protected by a database password and cannot be read");
  if (info.encrypted)
    throw EngineError(ErrorKind::Unsupported, file + " is encoded and cannot be read");

  ReaderProcess process(file, {"list", path});
  MessageReader& m = process.messages();
  std::vector<TableDefInfo> tables;
  for (;;) {
    char tag = m.tag();
    if (tag == TagTable) {
      tables.push_back(m.table());
    } else if (tag == TagError) {
      rethrow(m);
    } else if (tag == TagEnd) {
      break;
    } else {
      throw EngineError(ErrorKind::BadInput, file + " is damaged: the Jet reader gave no answer");
    }
  }
  return std::make_unique<JetSource>(path, file, std::move(tables));
}

}  // namespace tabulor::jet
