// The deflate level of the zip parts libxlsxwriter writes. libxlsxwriter always asks
// minizip for zlib's default level, which made deflating the larger part of writing a big
// sheet; a ScopedDeflateLevel makes the parts its own thread opens meanwhile use another.
#pragma once

namespace tabulor::xlsx {

class ScopedDeflateLevel {
 public:
  explicit ScopedDeflateLevel(int level);
  ~ScopedDeflateLevel();
  ScopedDeflateLevel(const ScopedDeflateLevel&) = delete;
  ScopedDeflateLevel& operator=(const ScopedDeflateLevel&) = delete;

 private:
  int previous_;
};

}  // namespace tabulor::xlsx
