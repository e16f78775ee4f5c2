#include "render/host/geometry.h"

#include <algorithm>

namespace host {
namespace {

constexpr double kSelfLoop = 0.3;  // how far a message to its own lifeline runs out

const Glue& glueOf(const ShapeModel& connector, bool begin) {
  return begin ? connector.beginGlue : connector.endGlue;
}

// The end's point before side snapping.
Point rawEnd(const ShapeModel& connector, bool begin) {
  const Glue& glue = glueOf(connector, begin);
  if (!glue.target) return begin ? connector.begin : connector.end;
  return glue.target->rowPosition(glue.row);
}

Point resolvedEnd(const ShapeModel& connector, bool begin) {
  const Glue& glue = glueOf(connector, begin);
  Point point = rawEnd(connector, begin);
  if (!glue.target || !glue.target->rows[glue.row].snapToSide) return point;
  const Box box = shapeBox(*glue.target);
  const Point other = rawEnd(connector, !begin);
  point.x = other.x < box.centre().x ? box.left : box.right;
  return point;
}

RouteEnd routeEnd(const ShapeModel& connector, bool begin, Point at) {
  RouteEnd end;
  end.at = at;
  const Glue& glue = glueOf(connector, begin);
  if (glue.target) {
    end.direction = glue.target->rowDirection(glue.row);
    end.box = shapeBox(*glue.target);
  }
  return end;
}

bool isObstacle(const ShapeModel& shape) {
  if (shape.isConnector()) return false;
  for (const OutlinePart& part : shape.master->outline)
    if (part.filled) return true;
  return false;
}

}  // namespace

Box shapeBox(const ShapeModel& shape) {
  const Point o = shape.origin();
  return {o.x, o.y, o.x + shape.width, o.y + shape.height};
}

std::optional<double> lifelineEnd(const ShapeModel& shape) {
  for (const OutlinePart& part : shape.master->outline) {
    if (part.kind != OutlinePart::Kind::Lifeline) continue;
    const double* y = shape.namedCell("Controls." + part.control + ".Y");
    if (y) return shape.origin().y + *y;
  }
  return std::nullopt;
}

ConnectorEnds connectorEnds(const ShapeModel& connector) {
  return {resolvedEnd(connector, true), resolvedEnd(connector, false)};
}

Obstacles pageObstacles(const PageModel& page) {
  Obstacles obstacles;
  for (const auto& shape : page.shapes)
    if (isObstacle(*shape)) obstacles.add(shapeBox(*shape));
  return obstacles;
}

std::vector<Point> connectorRoute(const ShapeModel& connector, const Obstacles* obstacles) {
  if (connector.path.size() >= 2) return connector.path;
  const ConnectorEnds ends = connectorEnds(connector);
  const ShapeModel* beginShape = connector.beginGlue.target;
  const ShapeModel* endShape = connector.endGlue.target;
  if (connector.master->route == MasterDef::Route::Straight) {
    if (beginShape && beginShape == endShape) {
      // A message to its own lifeline runs out to the right and back.
      const double x = std::max(ends.begin.x, ends.end.x) + kSelfLoop;
      return {ends.begin, {x, ends.begin.y}, {x, ends.end.y}, ends.end};
    }
    return {ends.begin, ends.end};
  }
  return routeOrthogonal(routeEnd(connector, true, ends.begin),
                         routeEnd(connector, false, ends.end), obstacles);
}

const std::vector<std::vector<Point>>& pageRoutes(const PageModel& page) {
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

std::optional<Box> drawingExtent(const PageModel& page,
                                 const std::vector<std::vector<Point>>& routes) {
  std::optional<Box> extent;
  auto include = [&extent](const Box& box) {
    if (!extent)
      extent = box;
    else
      extent->include(box);
  };
  for (size_t i = 0; i < page.shapes.size(); ++i) {
    const ShapeModel& shape = *page.shapes[i];
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

void moveDrawing(PageModel& page, double dx, double dy) {
  for (auto& shape : page.shapes) {
    shape->pinX += dx;
    shape->pinY += dy;
    shape->begin = {shape->begin.x + dx, shape->begin.y + dy};
    shape->end = {shape->end.x + dx, shape->end.y + dy};
    for (Point& p : shape->path) p = {p.x + dx, p.y + dy};
    shape->textCentre = {shape->textCentre.x + dx, shape->textCentre.y + dy};
  }
  for (auto& route : page.routes)
    for (Point& p : route) p = {p.x + dx, p.y + dy};
}

}  // namespace host
