// The zip container of an .xlsx or .ods file through libgsf: parts found by their path
// (without regard to case, as package part names are compared), opened as streams or read
// whole, with a check against parts that inflate out of all proportion to the file (a zip
// bomb) before any byte of them is inflated.
#pragma once

#include <gsf/gsf.h>

#include <memory>
#include <string>
#include <string_view>

namespace tabulor::workbook {

struct GObjectUnref {
  void operator()(void* p) const {
    if (p) g_object_unref(p);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

// Registers libgsf's types once and keeps its warnings about damaged files quiet (the damage
// reaches the user as an EngineError).
void initGsf();

// A part inflates to at most this many times the size of the whole file, once it is larger
// than ZipBombFloor: genuine workbooks compress XML some 5 to 50 times, a zip bomb a
// thousand times.
inline constexpr int64_t ZipBombRatio = 200;
inline constexpr int64_t ZipBombFloor = int64_t(64) << 20;

class ZipPackage {
 public:
  // Opens the zip at `path`. Throws EngineError: Io when it cannot be read, BadInput when it
  // is not a zip or its directory is damaged (a truncated file).
  static std::shared_ptr<ZipPackage> open(const std::string& path);
  // The same for bytes in memory (kept by the package); `name` is used in messages.
  static std::shared_ptr<ZipPackage> fromMemory(std::string bytes, const std::string& name);

  const std::string& name() const { return name_; }
  // True when the part exists (a file, not a folder).
  bool has(std::string_view partPath) const;
  // A fresh stream over the part (positioned at its start), or nullptr when it is missing.
  // Streams share nothing with each other or with the package: one may be read on another
  // thread while the package opens and reads others. Throws EngineError(BadInput) for a
  // part that would inflate like a zip bomb.
  GPtr<GsfInput> openPart(std::string_view partPath) const;
  // The whole part; "" when it is missing. Throws EngineError(BadInput) when it cannot be
  // inflated or is a zip bomb.
  std::string readPart(std::string_view partPath) const;
  // The part, or EngineError(BadInput) "missing part" naming what the part is for.
  GPtr<GsfInput> requirePart(std::string_view partPath, std::string_view what) const;

 private:
  ZipPackage() = default;
  static GsfInput* findPart(GsfInfile* root, std::string_view partPath);

  std::string name_;
  std::string bytes_;  // fromMemory only
  bool fromMemory_ = false;
  GPtr<GsfInput> source_;
  GPtr<GsfInfile> zip_;
  int64_t fileSize_ = 0;
};

// "xl/worksheets/sheet1.xml" from a relationship target and the folder of the part that
// holds the relationship ("xl/"): absolute targets ("/xl/...") start at the root, "." and
// ".." are resolved, %-escapes decoded.
std::string resolvePartPath(std::string_view baseFolder, std::string_view target);

}  // namespace tabulor::workbook
