// Where things lie on a page: shape boxes, connector ends that follow
// their glue, connector routes, the drawing's extent, and moving it.
#pragma once

#include <optional>
#include <vector>

#include "render/host/model.h"
#include "render/host/router.h"

namespace host {

// The box of a 2-D shape.
Box shapeBox(const ShapeModel& shape);
// A lifeline's dashed line ends at this height, on the shape's box centre.
std::optional<double> lifelineEnd(const ShapeModel& shape);

// A connector's two ends, after glue.
struct ConnectorEnds {
  Point begin, end;
};
ConnectorEnds connectorEnds(const ShapeModel& connector);

// The obstacles of a page that connectors are routed round: every 2-D
// shape that has a filled outline.
Obstacles pageObstacles(const PageModel& page);

// The polyline a connector is drawn along.
std::vector<Point> connectorRoute(const ShapeModel& connector, const Obstacles* obstacles);

// All connector routes of a page, in shape order (empty for 2-D shapes).
const std::vector<std::vector<Point>>& pageRoutes(const PageModel& page);

// The extent of everything on the page; nullopt for an empty page.
std::optional<Box> drawingExtent(const PageModel& page,
                                 const std::vector<std::vector<Point>>& routes);

// Moves every shape and every free connector end by (dx, dy).
void moveDrawing(PageModel& page, double dx, double dy);

}  // namespace host
