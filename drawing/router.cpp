#include "drawing/router.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace drawing {
namespace {

constexpr double kStub = 0.125;     // straight run out of and into a shape
constexpr double kClearance = 0.2;  // distance kept from shapes when going round them
constexpr double kEpsilon = 1e-6;

Point add(Point a, Point b, double scale) { return {a.x + b.x * scale, a.y + b.y * scale}; }

double length(const std::vector<Point>& path) {
  double total = 0.0;
  for (size_t i = 1; i < path.size(); ++i)
    total += std::fabs(path[i].x - path[i - 1].x) + std::fabs(path[i].y - path[i - 1].y);
  return total;
}

bool same(Point a, Point b) { return std::fabs(a.x - b.x) < kEpsilon && std::fabs(a.y - b.y) < kEpsilon; }

// Drops repeated points and points in the middle of a straight run.
std::vector<Point> simplify(const std::vector<Point>& path) {
  std::vector<Point> out;
  for (const Point& p : path) {
    if (!out.empty() && same(out.back(), p)) continue;
    if (out.size() >= 2) {
      const Point& a = out[out.size() - 2];
      const Point& b = out.back();
      const bool vertical = std::fabs(a.x - b.x) < kEpsilon && std::fabs(b.x - p.x) < kEpsilon;
      const bool horizontal = std::fabs(a.y - b.y) < kEpsilon && std::fabs(b.y - p.y) < kEpsilon;
      if (vertical || horizontal) {
        // A run that turns back on itself is kept as a corner.
        const double d1 = (b.x - a.x) + (b.y - a.y);
        const double d2 = (p.x - b.x) + (p.y - b.y);
        if (d1 * d2 > 0) {
          out.back() = p;
          continue;
        }
      }
    }
    out.push_back(p);
  }
  return out;
}

bool reverses(const std::vector<Point>& path) {
  for (size_t i = 2; i < path.size(); ++i) {
    const Point d1{path[i - 1].x - path[i - 2].x, path[i - 1].y - path[i - 2].y};
    const Point d2{path[i].x - path[i - 1].x, path[i].y - path[i - 1].y};
    if (d1.x * d2.x + d1.y * d2.y < -kEpsilon) return true;
  }
  return false;
}

// The outward direction at a point: given, or the side of the box the
// point is nearest to, or towards the other end.
Point directionAt(const RouteEnd& end, Point other) {
  if (end.direction.x != 0.0 || end.direction.y != 0.0) return end.direction;
  if (end.box) {
    const Box& b = *end.box;
    const double dl = std::fabs(end.at.x - b.left), dr = std::fabs(b.right - end.at.x);
    const double db = std::fabs(end.at.y - b.bottom), dt = std::fabs(b.top - end.at.y);
    const double best = std::min({dl, dr, db, dt});
    if (best == db) return {0, -1};
    if (best == dt) return {0, 1};
    if (best == dl) return {-1, 0};
    return {1, 0};
  }
  const double dx = other.x - end.at.x, dy = other.y - end.at.y;
  if (std::fabs(dx) >= std::fabs(dy)) return {dx >= 0 ? 1.0 : -1.0, 0};
  return {0, dy >= 0 ? 1.0 : -1.0};
}

}  // namespace

bool Box::crosses(Point a, Point b) const {
  const double minX = std::min(a.x, b.x), maxX = std::max(a.x, b.x);
  const double minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
  return maxX > left + kEpsilon && minX < right - kEpsilon && maxY > bottom + kEpsilon &&
         minY < top - kEpsilon;
}

void Box::include(const Box& other) {
  left = std::min(left, other.left);
  bottom = std::min(bottom, other.bottom);
  right = std::max(right, other.right);
  top = std::max(top, other.top);
}

void Box::include(Point p) { include(Box{p.x, p.y, p.x, p.y}); }

namespace {

// Cells a box may cover on each axis of its grid.
constexpr long long kCellsAcross = 4;
// Coordinates are clamped to this many inches before they become cell
// numbers, so that no conversion overflows (a layout may say 1e308, or
// nothing that is a number).  Clamping keeps every overlap.
constexpr double kFarthest = 140737488355328.0;  // 2^47

double clamped(double v) {
  if (std::isnan(v)) return 0.0;
  return std::clamp(v, -kFarthest, kFarthest);
}

// The cells [first, last] an interval covers on the grid of a level (a
// box of negative size covers the cells between its edges).
std::pair<long long, long long> cellsOf(double a, double b, int level) {
  const double size = std::ldexp(1.0, level);
  const double low = std::min(clamped(a), clamped(b)), high = std::max(clamped(a), clamped(b));
  return {static_cast<long long>(std::floor(low / size)), static_cast<long long>(std::floor(high / size))};
}

}  // namespace

size_t Obstacles::CellHash::operator()(const CellKey& key) const {
  uint64_t h = static_cast<uint64_t>(key.x) * 0x9E3779B97F4A7C15ULL;
  h ^= static_cast<uint64_t>(key.y) + 0x7F4A7C159E3779B9ULL + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(key.level) << 58;
  return static_cast<size_t>(h);
}

void Obstacles::add(const Box& box) {
  const size_t index = boxes_.size();
  if (boxes_.empty())
    extent_ = box;
  else
    extent_.include(box);
  boxes_.push_back(box);
  seen_.push_back(0);
  int level = 0;
  std::pair<long long, long long> xs = cellsOf(box.left, box.right, 0);
  std::pair<long long, long long> ys = cellsOf(box.bottom, box.top, 0);
  while (level + 1 < kLevels &&
         (xs.second - xs.first >= kCellsAcross || ys.second - ys.first >= kCellsAcross)) {
    ++level;
    xs = cellsOf(box.left, box.right, level);
    ys = cellsOf(box.bottom, box.top, level);
  }
  byLevel_[static_cast<size_t>(level)].push_back(index);
  for (long long cx = xs.first; cx <= xs.second; ++cx)
    for (long long cy = ys.first; cy <= ys.second; ++cy) {
      cells_[CellKey{level, cx, cy}].push_back(index);
      ++entries_;
    }
}

std::vector<size_t> Obstacles::near(const Box& area) const {
  std::vector<size_t> out;
  if (boxes_.empty()) return out;
  ++stamp_;
  auto take = [&](size_t index) {
    if (seen_[index] == stamp_) return;
    seen_[index] = stamp_;
    out.push_back(index);
  };
  for (int level = 0; level < kLevels; ++level) {
    const std::vector<size_t>& filed = byLevel_[static_cast<size_t>(level)];
    if (filed.empty()) continue;
    const auto [x0, x1] = cellsOf(area.left, area.right, level);
    const auto [y0, y1] = cellsOf(area.bottom, area.top, level);
    // A huge area is cheaper to check box by box than cell by cell.
    if (static_cast<double>(x1 - x0 + 1) * static_cast<double>(y1 - y0 + 1) >
        static_cast<double>(filed.size())) {
      for (size_t index : filed) take(index);
      continue;
    }
    for (long long cx = x0; cx <= x1; ++cx)
      for (long long cy = y0; cy <= y1; ++cy) {
        auto it = cells_.find(CellKey{level, cx, cy});
        if (it == cells_.end()) continue;
        for (size_t index : it->second) take(index);
      }
  }
  return out;
}

static bool sameBox(const Box& a, const Box* b) {
  return b && a.left == b->left && a.right == b->right && a.top == b->top && a.bottom == b->bottom;
}

int Obstacles::crossings(Point a, Point b, const Box* skipA, const Box* skipB) const {
  Box area{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  int count = 0;
  for (size_t index : near(area)) {
    const Box& box = boxes_[index];
    if (sameBox(box, skipA) || sameBox(box, skipB)) continue;
    if (box.crosses(a, b)) ++count;
  }
  return count;
}

std::optional<std::pair<double, double>> Obstacles::horizontalReach(double bottom,
                                                                   double top) const {
  std::optional<std::pair<double, double>> reach;
  if (boxes_.empty()) return reach;
  for (size_t index : near(Box{extent_.left, bottom, extent_.right, top})) {
    const Box& box = boxes_[index];
    if (box.top <= bottom || box.bottom >= top) continue;
    if (!reach)
      reach = std::pair{box.left, box.right};
    else
      reach = std::pair{std::min(reach->first, box.left), std::max(reach->second, box.right)};
  }
  return reach;
}

std::vector<Point> routeOrthogonal(RouteEnd from, RouteEnd to, const Obstacles* obstacles) {
  const Point ds = directionAt(from, to.at);
  const Point de = directionAt(to, from.at);
  const Point s = from.at, e = to.at;
  const Point s1 = add(s, ds, kStub), e1 = add(e, de, kStub);

  const Box* fromBox = from.box ? &*from.box : nullptr;
  const Box* toBox = to.box ? &*to.box : nullptr;
  std::vector<Point> best;
  double bestScore = std::numeric_limits<double>::infinity();
  auto consider = [&](std::vector<Point> raw) {
    std::vector<Point> path = simplify(raw);
    if (path.size() < 2 || reverses(path)) return;
    double score = length(path) + 0.3 * static_cast<double>(path.size() - 2);
    // Segments other than the two stubs must stay out of the end shapes.
    for (size_t i = 1; i < path.size() && score < bestScore; ++i) {
      const bool firstStub = i == 1;
      const bool lastStub = i == path.size() - 1;
      if (!firstStub && fromBox && fromBox->crosses(path[i - 1], path[i])) score += 100.0;
      if (!lastStub && toBox && toBox->crosses(path[i - 1], path[i])) score += 100.0;
      if (obstacles) score += 50.0 * obstacles->crossings(path[i - 1], path[i], fromBox, toBox);
    }
    if (score < bestScore) {
      bestScore = score;
      best = std::move(path);
    }
  };

  // Where a route may run past the end shapes.
  Box both{std::min(s1.x, e1.x), std::min(s1.y, e1.y), std::max(s1.x, e1.x), std::max(s1.y, e1.y)};
  if (from.box) both.include(*from.box);
  if (to.box) both.include(*to.box);
  std::vector<double> xs{(s1.x + e1.x) * 0.5, both.left - kClearance, both.right + kClearance};
  std::vector<double> ys{(s1.y + e1.y) * 0.5, both.bottom - kClearance, both.top + kClearance};

  // Routes with one or two turns first; most connectors of a layered
  // chart find a clear one among them.
  consider({s, s1, {s1.x, e1.y}, e1, e});
  consider({s, s1, {e1.x, s1.y}, e1, e});
  for (double x : xs) consider({s, s1, {x, s1.y}, {x, e1.y}, e1, e});
  for (double y : ys) consider({s, s1, {s1.x, y}, {e1.x, y}, e1, e});
  // Only a route that still runs through something looks further: past
  // everything between the ends (the way back to the head of a loop), and
  // detours that leave sideways first and then go round.
  if (bestScore >= 50.0) {
    if (obstacles) {
      if (auto reach = obstacles->horizontalReach(both.bottom, both.top)) {
        xs.push_back(std::min(reach->first, both.left) - kClearance);
        xs.push_back(std::max(reach->second, both.right) + kClearance);
        for (size_t i = 3; i < xs.size(); ++i) consider({s, s1, {xs[i], s1.y}, {xs[i], e1.y}, e1, e});
      }
    }
    for (double x : xs)
      for (double y : ys) {
        consider({s, s1, {x, s1.y}, {x, y}, {e1.x, y}, e1, e});
        consider({s, s1, {s1.x, y}, {x, y}, {x, e1.y}, e1, e});
      }
  }
  if (best.empty()) best = simplify({s, s1, {s1.x, e1.y}, e1, e});
  return best;
}

}  // namespace drawing
