// Right-angle routing of connectors between two connection points.
#pragma once

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "drawing/master.h"

namespace drawing {

struct Box {
  double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;
  double width() const { return right - left; }
  double height() const { return top - bottom; }
  Point centre() const { return {(left + right) * 0.5, (bottom + top) * 0.5}; }
  // True when the open interior of the box meets the axis-parallel segment.
  bool crosses(Point a, Point b) const;
  void include(const Box& other);
  void include(Point p);
};

// Boxes that routes should go around, bucketed on grids so that a page
// with thousands of shapes stays quick to route.  Each box is filed on the
// finest of a ladder of grids (cells of 1, 2, 4, ... inches) on which it
// covers at most a few cells, so the grids hold a bounded number of
// entries per box however large the boxes are.
class Obstacles {
 public:
  void add(const Box& box);
  // Number of boxes whose interior the segment crosses, not counting the
  // boxes given as ends.
  int crossings(Point a, Point b, const Box* skipA, const Box* skipB) const;
  // The leftmost left and rightmost right edge of the boxes lying across
  // the band of heights [bottom, top]; nullopt when none does.
  std::optional<std::pair<double, double>> horizontalReach(double bottom, double top) const;
  // Cell entries held by the grids: a few per box at most.
  size_t gridEntries() const { return entries_; }

 private:
  static constexpr int kLevels = 48;  // cells of 1 inch up to 2^47 inches
  struct CellKey {
    int level;
    long long x, y;
    bool operator==(const CellKey&) const = default;
  };
  struct CellHash {
    size_t operator()(const CellKey& key) const;
  };
  // Indexes of the boxes that may meet the area, each once.
  std::vector<size_t> near(const Box& area) const;
  std::vector<Box> boxes_;
  Box extent_;  // of all boxes
  std::unordered_map<CellKey, std::vector<size_t>, CellHash> cells_;
  std::vector<std::vector<size_t>> byLevel_ = std::vector<std::vector<size_t>>(kLevels);
  size_t entries_ = 0;
  mutable std::vector<unsigned> seen_;  // visit stamps, one per box
  mutable unsigned stamp_ = 0;
};

struct RouteEnd {
  Point at;
  Point direction;  // away from the shape; (0, 0) when unknown
  std::optional<Box> box;
};

// A polyline from one end to the other made of horizontal and vertical
// segments: it leaves the first end along its direction, enters the second
// against its direction, and keeps clear of the end shapes and obstacles
// where it can.
std::vector<Point> routeOrthogonal(RouteEnd from, RouteEnd to, const Obstacles* obstacles);

}  // namespace drawing
