// Memo files beside a .dbf: reading dBASE III and IV .dbt and FoxPro .fpt blocks, and
// writing .dbt files in the III or IV layout.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/file_descriptor.h"
#include "engine/output_file.h"

namespace tabulor::dbase {

class MemoReader {
 public:
  // Opens `path`; throws EngineError(Io) when it cannot be opened. `fpt` selects the FoxPro
  // layout (big-endian header and block headers).
  MemoReader(const std::string& path, bool fpt);
  MemoReader(const MemoReader&) = delete;
  MemoReader& operator=(const MemoReader&) = delete;

  // Reads the memo starting at block `block` into `out`; `binary` tells whether FoxPro
  // marked it as picture/binary data. Throws EngineError(BadInput) naming the memo file
  // when the block or its length runs past the end of the file.
  void read(uint32_t block, std::string& out, bool* binary = nullptr);

 private:
  void readAt(uint64_t offset, char* buffer, size_t size);

  std::string path_;
  FileDescriptor fd_;
  bool fpt_;
  uint64_t size_ = 0;
  uint32_t blockSize_ = 512;
};

enum class MemoLayout { DbaseIII, DbaseIV };

// Appends memos to a new .dbt; the header's next-free-block is patched by finish().
class MemoWriter {
 public:
  MemoWriter(const std::string& path, MemoLayout layout, const std::string& dbfBaseName);
  // Writes `text` (already in the table's encoding) and returns its first block number.
  // Throws EngineError(Limit) when the III layout cannot hold it (it ends at 0x1A).
  uint32_t append(const std::string& text);
  void finish();  // commits the file

 private:
  OutputFile file_;
  MemoLayout layout_;
  uint32_t nextBlock_ = 1;
};

inline constexpr uint32_t DbtBlockSize = 512;

}  // namespace tabulor::dbase
