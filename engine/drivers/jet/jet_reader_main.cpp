// tabulor-jet-reader: the helper process that reads Jet databases with libmdb for the Jet
// driver (see reader_process.h). Usage: tabulor-jet-reader list FILE
//                                       tabulor-jet-reader read FILE TABLE
// Answers on standard output in the format of reader_protocol.h.
#include <signal.h>
#include <sys/resource.h>

#include <cstring>

#include "engine/drivers/jet/mdb_reader.h"
#include "engine/drivers/jet/reader_protocol.h"

// The sanitizers' shadow memory takes terabytes of address space, so a build under one could
// not start with the address-space limit below.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TABULOR_SHADOW_MEMORY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
#define TABULOR_SHADOW_MEMORY 1
#endif
#endif

using namespace tabulor;
using namespace tabulor::jet;

int main(int argc, char** argv) {
  // A damaged file must not fill the disk with a core dump or take all memory.
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
#ifndef TABULOR_SHADOW_MEMORY
  rlimit memory{rlim_t(6) << 30, rlim_t(6) << 30};
  setrlimit(RLIMIT_AS, &memory);
#endif
  signal(SIGPIPE, SIG_DFL);

  MessageWriter out(1);
  if (argc < 3 || (std::strcmp(argv[1], "read") == 0 && argc < 4)) {
    out.error(EngineError(ErrorKind::Syntax, "usage: tabulor-jet-reader list|read FILE [TABLE]"));
    out.end();
    return 2;
  }
  try {
    auto reader = MdbReader::openFile(argv[2]);
    if (std::strcmp(argv[1], "list") == 0) {
      for (const auto& t : reader->tables()) out.table(t);
    } else {
      reader->readTable(
          argv[3], [&](const std::vector<FieldInfo>& f) { out.fields(f); },
          [&](const std::vector<Variant>& row) {
            out.row(row);
            return true;
          });
    }
  } catch (const EngineError& e) {
    out.error(e);
  } catch (const std::exception& e) {
    out.error(EngineError(ErrorKind::BadInput, std::string(argv[2]) + " is damaged: " + e.what()));
  }
  out.end();
  return 0;
}
