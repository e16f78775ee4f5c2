#include "drawing/geometry.h"

#include <algorithm>

namespace drawing {
namespace {

constexpr double kSelfLoop = 0.3;  // how far a message to its own lifeline runs out

RouteEnd routeEnd(const ConnectorEnd& end) {
  RouteEnd route;
  route.at = end.at;
  if (end.shape) {
    route.direction = end.direction;
    route.box = shapeBox(*end.shape);
  }
  return route;
}

bool isObstacle(const Shape& shape) {
  if (shape.isConnector()) return false;
  for (const OutlinePart& part : shape.master->outline)
    if (part.filled) return true;
  return false;
}

}  // namespace

Box shapeBox(const Shape& shape) {
  const Point o = shape.origin();
  return {o.x, o.y, o.x + shape.width, o.y + shape.height};
}

std::optional<double> lifelineEnd(const Shape& shape) {
  if (!shape.lifelineBottom) return std::nullopt;
  for (const OutlinePart& part : shape.master->outline)
    if (part.kind == OutlinePart::Kind::Lifeline) return shape.origin().y + *shape.lifelineBottom;
  return std::nullopt;
}

Obstacles pageObstacles(const Page& page) {
  Obstacles obstacles;
  for (const auto& shape : page.shapes)
    if (isObstacle(*shape)) obstacles.add(shapeBox(*shape));
  return obstacles;
}

std::vector<Point> connectorRoute(const Shape& connector, const Obstacles* obstacles) {
  if (connector.path.size() >= 2) return connector.path;
  const ConnectorEnd& begin = connector.begin;
  const ConnectorEnd& end = connector.end;
  if (connector.master->route == Master::Route::Straight) {
    if (begin.shape && begin.shape == end.shape) {
      // A message to its own lifeline runs out to the right and back.
      const double x = std::max(begin.at.x, end.at.x) + kSelfLoop;
      return {begin.at, {x, begin.at.y}, {x, end.at.y}, end.at};
    }
    return {begin.at, end.at};
  }
  return routeOrthogonal(routeEnd(begin), routeEnd(end), obstacles);
}

const std::vector<std::vector<Point>>& pageRoutes(const Page& page) {
  if (page.routesValid && page.routes.size() == page.shapes.size()) return page.routes;
  const Obstacles obstacles = pageObstacles(page);
  page.routes.clear();
  page.routes.reserve(page.shapes.size());
  for (const auto& shape : page.shapes)
    page.routes.push_back(shape->isConnector() ? connectorRoute(*shape, &obstacles)
                                               : std::vector<Point>{});
  page.routesValid = true;
  return page.routes;
}

std::optional<Box> drawingExtent(const Page& page,
                                 const std::vector<std::vector<Point>>& routes) {
  std::optional<Box> extent;
  auto include = [&extent](const Box& box) {
    if (!extent)
      extent = box;
    else
      extent->include(box);
  };
  for (size_t i = 0; i < page.shapes.size(); ++i) {
    const Shape& shape = *page.shapes[i];
    if (shape.isConnector()) {
      for (const Point& p : routes[i]) include(Box{p.x, p.y, p.x, p.y});
      continue;
    }
    Box box = shapeBox(shape);
    if (auto end = lifelineEnd(shape)) box.include(Point{box.centre().x, *end});
    include(box);
  }
  return extent;
}

void moveDrawing(Page& page, double dx, double dy) {
  for (auto& shape : page.shapes) {
    shape->pinX += dx;
    shape->pinY += dy;
    shape->begin.at = {shape->begin.at.x + dx, shape->begin.at.y + dy};
    shape->end.at = {shape->end.at.x + dx, shape->end.at.y + dy};
    for (Point& p : shape->path) p = {p.x + dx, p.y + dy};
    shape->textCentre = {shape->textCentre.x + dx, shape->textCentre.y + dy};
  }
  for (auto& route : page.routes)
    for (Point& p : route) p = {p.x + dx, p.y + dy};
}

}  // namespace drawing
