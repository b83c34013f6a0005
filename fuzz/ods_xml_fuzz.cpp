// libFuzzer target comparing the two readers of an ods content.xml: libxml2 and the
// plain-XML reader (see workbook_fuzz.h). Where libxml2 reads a table, the plain reader must
// read the same cells; elsewhere it may read or refuse, but never crash, leak or hang. The
// test suite runs the same function on seeds and mutations; fuzz/run.sh ods_xml runs it here.
#include <cstdio>
#include <cstdlib>

#include "fuzz/workbook_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!tabulor::fuzzOdsXmlReadersOne(data, size, &failure)) {
    std::fprintf(stderr, "the content.xml readers differ: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
