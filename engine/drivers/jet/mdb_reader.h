// Reading Jet 3/4 databases with mdbtools' libmdb, in the calling process. libmdb locates
// tables, columns, pages and rows; the values are decoded here from the raw row bytes so
// that numbers keep their exact binary value and long values are read in full, with
// checks on every pointer the file gives. libmdb itself is not hardened against damaged
// files: the driver runs this code in a helper process with a time limit (reader_process.h);
// the fuzz target runs it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/driver.h"
#include "engine/drivers/jet/jet_text.h"
#include "engine/schema.h"
#include "engine/variant.h"

namespace tabulor::jet {

class MdbReader {
 public:
  // Opens `path` (messages name its file name). Throws EngineError when the file is not a
  // Jet database, is password protected or encoded, or libmdb refuses it.
  static std::unique_ptr<MdbReader> openFile(const std::string& path);
  // The same over bytes in memory (the fuzz target); `bytes` must outlive the reader.
  static std::unique_ptr<MdbReader> openBuffer(std::string& bytes, const std::string& name);
  ~MdbReader();

  // Every table (queries and other objects left out): user tables (attributes 0), system tables
  // (TableAttrSystem), linked tables (TableAttrLinked), in catalogue order.
  std::vector<TableDefInfo> tables();

  // Reads table `name` (matched without regard to case): `onSchema` gets the fields once,
  // then `onRow` gets each record until it returns false. Throws EngineError (NotFound,
  // BadInput naming file, table and row).
  void readTable(const std::string& name,
                 const std::function<void(const std::vector<FieldInfo>&)>& onSchema,
                 const std::function<bool(const std::vector<Variant>&)>& onRow);

  struct Handle;  // libmdb's handle and what is known of the file

 private:
  explicit MdbReader(std::unique_ptr<Handle> h);
  std::unique_ptr<Handle> h_;
};

}  // namespace tabulor::jet
