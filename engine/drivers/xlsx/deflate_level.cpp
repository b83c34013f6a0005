// minizip's zipOpenNewFileInZip4_64, which libxlsxwriter calls for every part, defined here
// so that the dynamic linker binds libxlsxwriter's calls to it: it hands the call on to
// minizip's own, with the level of the thread's ScopedDeflateLevel where one is active.
// Other callers of minizip in the process get exactly the level they ask for.
#include "engine/drivers/xlsx/deflate_level.h"

#include <dlfcn.h>

namespace tabulor::xlsx {

namespace {

// No level of our own: the caller's stands.
constexpr int CallersLevel = -2;
thread_local int activeLevel = CallersLevel;

}  // namespace

ScopedDeflateLevel::ScopedDeflateLevel(int level) : previous_(activeLevel) {
  activeLevel = level;
}

ScopedDeflateLevel::~ScopedDeflateLevel() {
  activeLevel = previous_;
}

}  // namespace tabulor::xlsx

// The declaration of minizip's zip.h (not installed with the run-time library), with its
// handle and file-info types left opaque.
extern "C" int zipOpenNewFileInZip4_64(void* file, const char* filename, const void* zipfi,
                                       const void* extrafield_local, unsigned size_extrafield_local,
                                       const void* extrafield_global,
                                       unsigned size_extrafield_global, const char* comment,
                                       int method, int level, int raw, int windowBits, int memLevel,
                                       int strategy, const char* password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy,
                                       unsigned long flagBase, int zip64) {
  using Open = int (*)(void*, const char*, const void*, const void*, unsigned, const void*,
                       unsigned, const char*, int, int, int, int, int, int, const char*,
                       unsigned long, unsigned long, unsigned long, int);
  static const Open minizipOpen =
      reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
  // ZIP_INTERNALERROR: libxlsxwriter reports the workbook as not written.
  if (!minizipOpen) return -104;
  if (tabulor::xlsx::activeLevel != tabulor::xlsx::CallersLevel) level = tabulor::xlsx::activeLevel;
  return minizipOpen(file, filename, zipfi, extrafield_local, size_extrafield_local,
                     extrafield_global, size_extrafield_global, comment, method, level, raw,
                     windowBits, memLevel, strategy, password, crcForCrypting, versionMadeBy,
                     flagBase, zip64);
}
