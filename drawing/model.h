// The drawing model: documents of pages holding shapes (boxes, frames,
// lifelines) and the connectors between them, each of a kind (its
// master), with its text, classes and what a screen reader is told of it.
// The writers (SVG, HTML, the drawing XML) read it; flowcharts and
// sequence diagrams are drawn into it, and the engine's drawing host
// builds on it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "drawing/master.h"
#include "text/box_text.h"

namespace drawing {

// A drawing's texts are kept and written byte for byte in their charset;
// the writers only declare it.
// The encoding's name as XML and HTML declare it: "ISO-8859-1", "UTF-8".
const char* encodingName(text::Charset encoding);

struct Hyperlink {
  std::string description;
  std::string address;
  std::string subAddress;
};

struct Shape;

// A connector's end: where it is, and the shape it touches there, if any,
// with the way it leaves that shape.  The router starts a route off that
// shape's box in that direction; both ends on one shape make a loop.
struct ConnectorEnd {
  Point at;
  const Shape* shape = nullptr;
  Point direction;
  // The master's connection point it is at ("CreationPt"); empty for a
  // point of its own.
  std::string point;
};

// What a reader who does not see the picture is told of a shape, and
// where the keyboard goes from it.  Shapes without it are written as
// they always were.
struct ShapeAccess {
  // Its accessible name: its kind, text, lines and where it goes.
  std::string label;
  // The graph's id of the node it shows ("n4"), for tools; may be empty.
  std::string node;
  // The shapes (by name, on the same page) control goes on to, the main
  // way first.
  std::vector<std::string> next;
  // The source lines it stands for; 0 for none.
  int32_t firstLine = 0;
  int32_t lastLine = 0;
};

struct Shape {
  int id = 0;
  // Its kind: the master it was made from (outline, text box, style).
  std::shared_ptr<const Master> master;
  std::string name;
  std::string text;
  bool textSet = false;
  // Shown when the pointer rests on the shape in a picture; empty for none.
  std::string comment;
  // 2-D shapes: pin and size.
  double pinX = 0.0, pinY = 0.0, width = 0.0, height = 0.0;
  // A lifeline's dashed line ends this far above the shape's bottom edge
  // (below it when negative); none for a shape without one.
  std::optional<double> lifelineBottom;
  // 1-D shapes: the two ends.
  ConnectorEnd begin, end;
  // A connector whose route its drawing fixed (a laid-out curve, as a
  // polyline from begin to end); empty for routes the router works out.
  std::vector<Point> path;
  // The path holds cubic Bezier control points (3k + 1 of them) rather
  // than a polyline's corners.
  bool curve = false;
  // Where the centre of a connector's text goes, when its drawing placed it.
  bool textPlaced = false;
  Point textCentre;
  std::vector<Hyperlink> hyperlinks;
  std::optional<ShapeAccess> access;
  // A connector: the ids of the graph's edges it stands for, for tools
  // and for marks put on a finished drawing; may be empty.
  std::vector<std::string> edges;

  // Marks a finished drawing may be given, such as a comparison's.
  // Drawn dashed whatever its master says: what was taken away.
  bool dashed = false;
  // Classes a page's own style may hide the shape by, to show one view of
  // a drawing; empty for none.
  std::string classes;
  // The text shown instead of the shape's own where a page's style hides
  // that (class "own-text", this one "other-text"): another view's text of
  // the shape.  Empty for none.
  std::string otherText;
  // The shape as other views of its page tell it: drawn again for each
  // view, classed "in-<view>", and itself classed "not-in-<view>", so that
  // the page's style shows one of them in each view.  Empty for none.
  struct ViewTold {
    std::string view;
    ShapeAccess access;
    std::string comment;  // as `comment` above
  };
  std::vector<ViewTold> viewsTold;

  bool isConnector() const { return master->connector; }
  // The bottom-left corner of the shape's box.
  Point origin() const { return {pinX - master->pin.x * width, pinY - master->pin.y * height}; }
};

struct Page {
  std::string name;
  // What the page shows, told in words to a screen reader; empty for
  // pages written as they always were.
  std::string description;
  // The description as a view of the drawing tells it, where it differs:
  // (view, description).
  std::vector<std::pair<std::string, std::string>> descriptionsTold;
  double width = 8.5;  // page sheet PageWidth, inches
  double height = 11.0;
  std::vector<std::unique_ptr<Shape>> shapes;  // in drop order, back to front
  std::unordered_map<std::string, std::vector<Shape*>> byName;
  int nextId = 1;
  // Connector routes, worked out when first needed and kept until the
  // page changes; moving the whole drawing moves them along.
  mutable std::vector<std::vector<Point>> routes;
  mutable bool routesValid = false;
  void changed() { routesValid = false; }

  Shape* find(const std::string& shapeName) const;
  void rename(Shape& shape, const std::string& newName);
};

// What makes a drawing's HTML page readable without the picture and in
// either colour scheme.  A drawing without it is written as it always was.
struct ReaderAids {
  // A ready HTML fragment (in the drawing's encoding): the drawing told as
  // a nested list.
  std::string outlineHtml;
  // The source lines the drawing stands for, from firstLine, shown beside
  // it when a box is opened; empty when a page of the site shows them.
  int32_t firstLine = 0;
  std::vector<std::string> sourceLines;
  // The page holding the whole source file with its lines as "#L<n>", a
  // relative URL; empty for none.
  std::string sourcePageUrl;
  // A URL opening the reader's editor, with {path} and {line} to fill
  // in, and the source file's path for it; empty for none.
  std::string editorUrl;
  std::string sourcePath;
  // Warnings about what the drawing stands for (code hidden behind
  // Unicode escapes), shown above it in plain text; empty for none.
  std::vector<std::string> notes;
};

struct Document {
  std::vector<std::shared_ptr<const Master>> masters;
  std::vector<std::unique_ptr<Page>> pages;
  std::string templateName;  // the template a drawing was made from
  // HTML explaining the drawing's shapes, shown (hideable) beside it in
  // the HTML page; empty for none.
  std::string legendHtml;
  // Pictures written small: numbers to a tenth of a unit, the font named
  // once for the whole picture, black text without a fill of its own.
  bool compactPictures = false;
  text::Charset encoding = text::Charset::Latin1;
  // The language its texts are in, as HTML names it ("en-US"); empty
  // when never said.
  std::string language;
  std::optional<ReaderAids> readerAids;
};

}  // namespace drawing
