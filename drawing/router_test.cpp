#include "drawing/router.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace drawing {
namespace {

void expectRightAngles(const std::vector<Point>& path) {
  ASSERT_GE(path.size(), 2u);
  for (size_t i = 1; i < path.size(); ++i)
    EXPECT_TRUE(std::fabs(path[i].x - path[i - 1].x) < 1e-9 ||
                std::fabs(path[i].y - path[i - 1].y) < 1e-9)
        << "segment " << i << " is slanted";
}

bool crossesInterior(const std::vector<Point>& path, const Box& box) {
  for (size_t i = 1; i < path.size(); ++i)
    if (box.crosses(path[i - 1], path[i])) return true;
  return false;
}

TEST(Router, StraightDownWhenTheEndsAreAligned) {
  const Box upper{1, 4, 2, 5}, lower{1, 2, 2, 3};
  auto path = routeOrthogonal({{1.5, 4}, {0, -1}, upper}, {{1.5, 3}, {0, 1}, lower}, nullptr);
  ASSERT_EQ(path.size(), 2u);
  EXPECT_DOUBLE_EQ(path[1].y, 3);
}

TEST(Router, SideExitTurnsOnceIntoTheTopOfALowerShape) {
  const Box decision{2, 4, 4, 5}, target{0, 2, 1, 3};
  auto path = routeOrthogonal({{2, 4.5}, {-1, 0}, decision}, {{0.5, 3}, {0, 1}, target}, nullptr);
  expectRightAngles(path);
  ASSERT_EQ(path.size(), 3u);  // left, then down
  EXPECT_DOUBLE_EQ(path[1].x, 0.5);
  EXPECT_DOUBLE_EQ(path[1].y, 4.5);
}

TEST(Router, BackEdgeGoesRoundShapesToTheTopOfTheLoopHead) {
  // From the bottom of a loop end up to the top of the loop head, with a
  // wide body shape in between.
  const Box head{1, 6, 2, 6.5}, body{0, 4, 4, 5}, tail{1, 2, 2, 2.5};
  Obstacles obstacles;
  obstacles.add(head);
  obstacles.add(body);
  obstacles.add(tail);
  auto path =
      routeOrthogonal({{1.5, 2}, {0, -1}, tail}, {{1.5, 6.5}, {0, 1}, head}, &obstacles);
  expectRightAngles(path);
  EXPECT_FALSE(crossesInterior(path, body));
  EXPECT_FALSE(crossesInterior(path, head));
  EXPECT_FALSE(crossesInterior(path, tail));
  EXPECT_LT(path[1].y, 2.0);                 // leaves downwards
  EXPECT_GT(path[path.size() - 2].y, 6.5);   // enters from above
}

TEST(Router, UnknownDirectionsComeFromTheBoxSide) {
  const Box a{0, 0, 1, 1}, b{3, 0, 4, 1};
  auto path = routeOrthogonal({{1, 0.5}, {0, 0}, a}, {{3, 0.5}, {0, 0}, b}, nullptr);
  expectRightAngles(path);
  EXPECT_EQ(path.size(), 2u);
}

TEST(Router, HugeAndFarAwayBoxesKeepTheGridsSmall) {
  // A box 10,000 inches on a side, boxes at coordinates no integer can
  // hold, and boxes that are not numbers at all: a few grid cells each,
  // every box still found where it lies, and no conversion overflows.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Box huge{0, 0, 10000, 10000};
  const std::vector<Box> boxes = {huge,
                                  {1e308, 1e308, 1e308, 1e308},
                                  {-1e308, -1e308, 1e308, 1e308},
                                  {-inf, 3, inf, 4},
                                  {nan, nan, nan, nan},
                                  {5, 5, -5, -5}};
  Obstacles obstacles;
  for (const Box& box : boxes) obstacles.add(box);
  for (int i = 0; i < 1000; ++i) obstacles.add(Box{i * 2.0, -3, i * 2.0 + 1.5, -2.5});
  EXPECT_LE(obstacles.gridEntries(), 16 * (boxes.size() + 1000));

  // Every box is still found where it lies.
  EXPECT_EQ(obstacles.crossings({5000, -1}, {5000, 10001}, nullptr, nullptr), 3);  // huge, everything, the band
  EXPECT_EQ(obstacles.crossings({20000, 20000}, {30000, 20000}, nullptr, nullptr), 1);
  EXPECT_EQ(obstacles.crossings({1000.5, -2.8}, {1000.5, -2.7}, nullptr, nullptr), 2);   // a small one, everything
  EXPECT_EQ(obstacles.crossings({-1e300, 3.5}, {1e300, 3.5}, nullptr, nullptr), 3);
  // Routes whose ends lie far out still come back.
  auto path = routeOrthogonal({{1e308, 0}, {0, 0}, std::nullopt}, {{-1e308, nan}, {0, 0}, std::nullopt}, &obstacles);
  EXPECT_GE(path.size(), 2u);
}

}  // namespace
}  // namespace drawing
