// libFuzzer target for the xlsx driver's reader (and, on what it reads, its writer): every
// input must end in rows or an EngineError, and what was read must survive a write and a
// second read unchanged (see workbook_fuzz.h for how an input is taken). The test suite
// runs the same function on seeds and mutations; fuzz/run.sh xlsx runs it under libFuzzer.
#include <cstdio>
#include <cstdlib>

#include "fuzz/workbook_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzXlsxReaderOne(data, size, &failure)) {
    std::fprintf(stderr, "xlsx round trip broke: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
