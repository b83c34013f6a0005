// Seeds for the Excel fuzz target from real workbooks: each FILE becomes two inputs in
// FOLDER, the whole file after a 0 byte and its bare workbook stream after a 1 byte (the
// mode byte the target reads first). Usage: excel_seeds FOLDER FILE...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/drivers/excel/compound_file.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace {

void writeSeed(const std::string& path, char mode, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.put(mode);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: excel_seeds FOLDER FILE...\n");
    return 2;
  }
  const std::string folder = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string name(tabulor::fileNameOf(argv[i]));
    writeSeed(tabulor::joinPath(folder, name + ".whole"), '\0', bytes);
    try {
      writeSeed(tabulor::joinPath(folder, name + ".stream"), '\1',
                tabulor::excel::readWorkbookStreamFromMemory(bytes, name).bytes);
    } catch (const tabulor::EngineError&) {
      // Not a readable compound file: the whole file is the only seed.
    }
  }
  return 0;
}
