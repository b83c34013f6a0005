// The selected-cells map of the grid (see selected_cell_map.h).
#include "grid/selected_cell_map.h"

#include <algorithm>

namespace tabulor {

void SelectedCellMap::SetAt(CellPos pos) {
  auto [it, added] = nodes_.try_emplace(identity(pos));
  Node& node = it->second;
  node.pos = pos;
  if (!added) return;
  if (nodes_.size() == 1) {
    bounds_ = {pos.row, pos.col, pos.row, pos.col};
  } else {
    bounds_.minRow = std::min(bounds_.minRow, pos.row);
    bounds_.minCol = std::min(bounds_.minCol, pos.col);
    bounds_.maxRow = std::max(bounds_.maxRow, pos.row);
    bounds_.maxCol = std::max(bounds_.maxCol, pos.col);
  }
  Node*& head = heads_[bucketOf(cellKey(pos.row, pos.col))];
  node.next = head;
  if (head) head->prev = &node;
  head = &node;
}

bool SelectedCellMap::RemoveKey(CellPos pos) {
  auto it = nodes_.find(identity(pos));
  if (it == nodes_.end()) return false;
  Node& node = it->second;
  if (node.prev)
    node.prev->next = node.next;
  else
    heads_[bucketOf(cellKey(pos.row, pos.col))] = node.next;
  if (node.next) node.next->prev = node.prev;
  nodes_.erase(it);
  // An emptied map gives its storage back, as a grid that drops a large selection should.
  if (nodes_.empty()) RemoveAll();
  return true;
}

void SelectedCellMap::RemoveAll() {
  std::unordered_map<uint64_t, Node>().swap(nodes_);
  for (Node*& head : heads_) head = nullptr;
  bounds_ = CellRange{};
}

std::vector<CellPos> SelectedCellMap::cells() const {
  std::vector<CellPos> out;
  out.reserve(nodes_.size());
  forEach([&](CellPos p) { out.push_back(p); });
  return out;
}

}  // namespace tabulor
