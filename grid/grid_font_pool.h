// The grid's font pool: every distinct cell font is stored once and cells keep a 16-bit
// index into it, so a grid of a million cells in one font holds one font, while each cell's
// font can still be read and set on its own.
#pragma once

#include <QFont>
#include <QHash>
#include <cstdint>
#include <deque>

namespace tabulor {

class GridFontPool {
 public:
  // Most distinct fonts the pool holds; interning one more fails.
  static constexpr int MaxFonts = 0xFFFF;

  // Index of `font`, adding it when new; -1 when the pool is full.
  int intern(const QFont& font);
  // The font at `id` and its copy with weight 600 (the header look). The references stay
  // valid for the pool's lifetime.
  const QFont& font(uint16_t id) const { return fonts_[id]; }
  const QFont& headerFont(uint16_t id) const { return headerFonts_[id]; }
  int size() const { return int(fonts_.size()); }

 private:
  std::deque<QFont> fonts_;
  std::deque<QFont> headerFonts_;
  QHash<QFont, uint16_t> index_;
};

}  // namespace tabulor
