// What the drawing host holds: documents, pages, shapes and their cells.
// The handles of host.h point into these; the writers read them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/host/master.h"
#include "text/box_text.h"

namespace host {

// A drawing's texts are kept and written byte for byte in their charset;
// the writers only declare it.
// The encoding's name as XML and HTML declare it: "ISO-8859-1", "UTF-8".
const char* encodingName(text::Charset encoding);

// A cell value in inches (or a plain number), optionally driven by a
// formula of the form Width*k or Height*k of its own shape.
struct CellValue {
  double value = 0.0;
  enum class Formula { None, WidthTimes, HeightTimes };
  Formula formula = Formula::None;
  double factor = 0.0;
};

// A row of the connection-point section: X, Y, DirX, DirY, Type.
struct ConnectionRow {
  std::string name;  // empty for added rows, which are known as Row_<n>
  CellValue cells[5];
  bool added = false;
  bool snapToSide = false;
};

struct HyperlinkModel {
  std::string description;
  std::string address;
  std::string subAddress;
};

struct ShapeModel;

// A connector end glued to a connection row of a shape.
struct Glue {
  ShapeModel* target = nullptr;
  size_t row = 0;
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

struct ShapeModel {
  int id = 0;
  std::shared_ptr<const MasterDef> master;
  std::string name;
  std::string text;
  bool textSet = false;
  // Shown when the pointer rests on the shape in a picture; empty for none.
  std::string comment;
  // 2-D shapes: pin and size.
  double pinX = 0.0, pinY = 0.0, width = 0.0, height = 0.0;
  // 1-D shapes: the two ends, and what they are glued to.
  Point begin, end;
  Glue beginGlue, endGlue;
  // A connector whose route its drawing fixed (a laid-out curve, as a
  // polyline from begin to end); empty for routes the host works out.
  std::vector<Point> path;
  // The path holds cubic Bezier control points (3k + 1 of them) rather
  // than a polyline's corners.
  bool curve = false;
  // Where the centre of a connector's text goes, when its drawing placed it.
  bool textPlaced = false;
  Point textCentre;
  // Other cells set by name, in the order first set (LockTextEdit, Controls.*).
  std::vector<std::pair<std::string, double>> namedCells;
  std::vector<ConnectionRow> rows;
  std::vector<HyperlinkModel> hyperlinks;
  std::optional<ShapeAccess> access;
  // Drawn dashed whatever its master says: what a comparison shows as
  // taken away.
  bool struck = false;
  // Classes a page's own style may hide the shape by, to show one side of
  // a comparison from the same layout; empty for none.
  std::string viewClasses;
  // The text shown instead of the shape's own where a page's style hides
  // that (class "own-text", this one "other-text"): the other side's text
  // of a node a comparison changed.  Empty for none.
  std::string otherText;
  // The shape as other views of its page tell it (the sides of a
  // comparison drawn from one layout): drawn again for each view, classed
  // "in-<view>", and itself classed "not-in-<view>", so that the page's
  // style shows one of them in each view.  Empty for none.
  struct ViewTold {
    std::string view;
    ShapeAccess access;
    std::string comment;  // as `comment` above
  };
  std::vector<ViewTold> viewsTold;

  bool isConnector() const { return master->connector; }
  const double* namedCell(const std::string& cellName) const;
  double* namedCell(const std::string& cellName);
  // The bottom-left corner of the shape's box.
  Point origin() const { return {pinX - master->pin.x * width, pinY - master->pin.y * height}; }
  double evaluate(const CellValue& cell) const;
  // Where a connection row lies on the page.
  Point rowPosition(size_t row) const;
  Point rowDirection(size_t row) const;
  // A row's cell name: Connections.<name>, or Connections.Row_<n> (1-based).
  std::string rowCellName(size_t row) const;
};

struct PageModel {
  std::string name;
  // What the page shows, told in words to a screen reader; empty for
  // pages written as they always were.
  std::string description;
  // The description as a view of the drawing tells it, where it differs:
  // (view, description).
  std::vector<std::pair<std::string, std::string>> descriptionsTold;
  double width = 8.5;  // page sheet PageWidth, inches
  double height = 11.0;
  std::vector<std::unique_ptr<ShapeModel>> shapes;  // in drop order, back to front
  std::unordered_map<std::string, std::vector<ShapeModel*>> byName;
  int nextId = 1;
  // Connector routes, worked out when first needed and kept until the
  // page changes; moving the whole drawing moves them along.
  mutable std::vector<std::vector<Point>> routes;
  mutable bool routesValid = false;
  void changed() { routesValid = false; }

  ShapeModel* find(const std::string& shapeName) const;
  void rename(ShapeModel& shape, const std::string& newName);
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

struct DocumentModel {
  std::string path;
  std::string fileName;  // the last part of the path, how Documents.Item knows it
  bool isStencil = false;
  std::vector<std::shared_ptr<const MasterDef>> masters;
  std::vector<std::unique_ptr<PageModel>> pages;
  std::string templateName;  // the template a drawing was made from
  // HTML explaining the drawing's shapes, shown (hideable) beside it in
  // the HTML page; empty for none.
  std::string legendHtml;
  // Pictures written small: numbers to a tenth of a unit, the font named
  // once for the whole picture, black text without a fill of its own.
  bool compactPictures = false;
  text::Charset encoding = text::Charset::Latin1;
  std::optional<ReaderAids> readerAids;
};

struct ApplicationModel {
  std::vector<std::unique_ptr<DocumentModel>> documents;
  uint16_t language = 0;  // a Windows language id such as 1033; 0 when never set
};

}  // namespace host
