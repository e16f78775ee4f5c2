// Masters: the reusable shapes a template or stencil offers.  A master
// fixes the default size, the outline, where the text goes, the named
// connection points and the look of the shapes dropped from it.
#pragma once

#include <string>
#include <vector>

namespace drawing {

struct Point {
  double x = 0.0;
  double y = 0.0;
};

// One piece of a master's outline.  Coordinates are fractions of the
// shape's width and height, measured from its bottom-left corner, y up.
struct OutlinePart {
  enum class Kind { Rect, Ellipse, Path, Lifeline };
  Kind kind = Kind::Rect;
  double rounding = 0.0;                // Rect: corner radius as a fraction of the shorter side
  std::vector<std::vector<Point>> runs; // Path: polylines; a closed run repeats its first point
  std::vector<bool> closed;             // Path: whether each run is closed
  bool filled = true;
  bool dashed = false;
  std::string control;                  // Lifeline: the control whose y ends the dashed line
};

// A named connection point.  The position is a fraction of the size; the
// direction points away from the shape, the way a connector leaves it.
struct ConnectionPointDef {
  std::string name;
  Point at;
  Point direction;
  // The end of a connector glued here moves to the left or right edge of
  // the shape, whichever faces the connector's other end.
  bool snapToSide = false;
};

// A control handle: x as a fraction of the width, y in inches from the
// shape's bottom edge.
struct ControlDef {
  std::string name;
  double x = 0.5;
  double y = 0.0;
};

struct TextBoxDef {
  double left = 0.0, bottom = 0.0, right = 1.0, top = 1.0;  // fractions
  double fontSize = 10.0;                                      // points
  bool topLeft = false;  // the text starts at the box's top-left corner instead of its middle
};

// Fixed text drawn by the master itself, such as the caption of a frame.
struct CaptionDef {
  std::string text;
  Point at;                // fraction of the size: the bottom-left of the text
  double fontSize = 9.0;
};

struct StyleDef {
  std::string fill = "#ffffff";
  std::string stroke = "#000000";
  std::string textColor = "#000000";
  double lineWidth = 1.0;  // points
};

struct Master {
  std::string name;
  bool connector = false;  // a 1-D shape with a begin and an end
  double width = 1.0;      // inches
  double height = 0.5;
  Point pin{0.5, 0.5};     // where the pin sits, as fractions of the size
  std::string defaultText; // shown while a shape's own text is not set
  std::vector<OutlinePart> outline;
  TextBoxDef textBox;
  std::vector<CaptionDef> captions;
  std::vector<ConnectionPointDef> connections;
  std::vector<ControlDef> controls;
  StyleDef style;
  // Connectors only.
  enum class Route { Orthogonal, Straight };
  Route route = Route::Orthogonal;
  enum class Arrow { Filled, Open, None };
  Arrow arrow = Arrow::Filled;
  bool dashed = false;
};

}  // namespace drawing
