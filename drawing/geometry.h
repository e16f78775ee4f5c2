// Where things lie on a page: shape boxes, connector routes, the
// drawing's extent, and moving it.
#pragma once

#include <optional>
#include <vector>

#include "drawing/model.h"
#include "drawing/router.h"

namespace drawing {

// The box of a 2-D shape.
Box shapeBox(const Shape& shape);
// A lifeline's dashed line ends at this height, on the shape's box centre.
std::optional<double> lifelineEnd(const Shape& shape);

// The obstacles of a page that connectors are routed round: every 2-D
// shape that has a filled outline.
Obstacles pageObstacles(const Page& page);

// The polyline a connector is drawn along.
std::vector<Point> connectorRoute(const Shape& connector, const Obstacles* obstacles);

// All connector routes of a page, in shape order (empty for 2-D shapes).
const std::vector<std::vector<Point>>& pageRoutes(const Page& page);

// The extent of everything on the page; nullopt for an empty page.
std::optional<Box> drawingExtent(const Page& page,
                                 const std::vector<std::vector<Point>>& routes);

// Moves every shape and connector end by (dx, dy).
void moveDrawing(Page& page, double dx, double dy);

}  // namespace drawing
