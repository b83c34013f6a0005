// bench_ods_xml: reads every table of an .ods twice, with content.xml parsed by libxml2 and
// by the plain-XML reader, and prints the time, rows per second and CPU time of each side
// by side with their ratio. Usage: bench_ods_xml FILE.ods
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "engine/drivers/ods/ods_source.h"
#include "engine/engine_error.h"

using namespace tabulor;

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  double seconds, cpu;
  size_t rows;
};

Figures readAll(const char* path, ods::XmlReading reading) {
  auto start = std::chrono::steady_clock::now();
  double cpu = cpuSeconds();
  auto db = ods::openOdsSource(path, reading);
  size_t rows = 0;
  std::vector<Variant> row;
  for (const TableDefInfo& t : db->tables()) {
    auto cursor = db->openTable(t.name);
    while (cursor->next(row)) ++rows;
  }
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          cpuSeconds() - cpu, rows};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_ods_xml FILE.ods\n");
    return 2;
  }
  try {
    Figures slow = readAll(argv[1], ods::XmlReading::Libxml2Only);
    Figures fast = readAll(argv[1], ods::XmlReading::PlainWherePossible);
    for (auto [name, f] : {std::pair{"libxml2", slow}, std::pair{"plain", fast}})
      std::printf("%-8s %8.2f s  %8.2f s CPU  %10.0f rows/s  (%zu rows)\n", name, f.seconds, f.cpu,
                  double(f.rows) / f.seconds, f.rows);
    std::printf("plain reader: %.2fx the speed of libxml2\n", slow.seconds / fast.seconds);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
