// The map of selected cells. Its walking order is part of the grid's behaviour (copying and
// the other operations that visit every selected cell use it): 17 buckets, a cell lies in
// bucket (key / 16) mod 17 with key = (col & 0xFFFF) * 65536 + (row & 0xFFFF), buckets are
// walked in increasing order and, within a bucket, the most recently added cell first.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "grid/grid_types.h"

namespace tabulor {

class SelectedCellMap {
 public:
  static constexpr int BucketCount = 17;

  // The 32-bit key that places a cell in its bucket.
  static uint32_t cellKey(int row, int col) {
    return (uint32_t(col) & 0xFFFFu) * 65536u + (uint32_t(row) & 0xFFFFu);
  }
  static int bucketOf(uint32_t key) { return int((key / 16) % BucketCount); }

  // Adds the cell, or overwrites it in place (its position in the walk stays).
  void SetAt(CellPos pos);
  // Removes the cell; false when it was not there.
  bool RemoveKey(CellPos pos);
  bool Lookup(CellPos pos) const { return nodes_.count(identity(pos)) != 0; }
  int GetCount() const { return int(nodes_.size()); }
  bool IsEmpty() const { return nodes_.empty(); }
  void RemoveAll();
  // A block holding every cell of the map; after removals it may be larger than needed.
  // Meaningless while the map is empty.
  const CellRange& Bounds() const { return bounds_; }

  // The cells in walking order (a snapshot, so callers may change the map while using it).
  std::vector<CellPos> cells() const;
  template <typename Fn>
  void forEach(Fn&& fn) const {
    for (const Node* head : heads_)
      for (const Node* n = head; n; n = n->next) fn(n->pos);
  }

 private:
  // Cells are told apart by their full coordinates. The 32-bit key alone would merge cells
  // whose rows or columns differ by a multiple of 65,536, so it only chooses the bucket.
  static uint64_t identity(CellPos p) {
    return (uint64_t(uint32_t(p.row)) << 32) | uint32_t(p.col);
  }

  struct Node {
    CellPos pos;
    Node* prev = nullptr;
    Node* next = nullptr;
  };
  std::unordered_map<uint64_t, Node> nodes_;
  Node* heads_[BucketCount] = {};
  CellRange bounds_;
};

}  // namespace tabulor
