// make_blank_mdb: writes Blank.mdb, the empty Jet 4 database that conversions to the
// engine's own format copy, with the project's own Jet writer. Run by the build.
// Usage: make_blank_mdb OUTPUT.mdb   (creation date: $SOURCE_DATE_EPOCH, else now)
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/drivers/jet/blank_database.h"
#include "engine/engine_error.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_blank_mdb OUTPUT.mdb\n");
    return 2;
  }
  std::time_t when = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch)
    when = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
  // Seconds since 1970 as an OLE date (days since 1899-12-30).
  double created = 25569.0 + static_cast<double>(when) / 86400.0;
  try {
    tabulor::jet::writeBlankDatabase(argv[1], created);
  } catch (const tabulor::EngineError& e) {
    std::fprintf(stderr, "make_blank_mdb: %s\n", e.what());
    return 1;
  }
  return 0;
}
