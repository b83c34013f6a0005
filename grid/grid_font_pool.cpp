// Interning of cell fonts for the grid (see grid_font_pool.h).
#include "grid/grid_font_pool.h"

namespace tabulor {

int GridFontPool::intern(const QFont& font) {
  auto found = index_.constFind(font);
  if (found != index_.constEnd()) return found.value();
  if (size() >= MaxFonts) return -1;
  const auto id = uint16_t(fonts_.size());
  fonts_.push_back(font);
  QFont header(font);
  header.setWeight(QFont::Weight(600));
  headerFonts_.push_back(header);
  index_.insert(font, id);
  return id;
}

}  // namespace tabulor
