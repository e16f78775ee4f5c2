// What the engine's drawing host keeps of a page beyond the drawing model:
// each shape's cells set by name (LockTextEdit, Controls.*), the rows of
// its connection-point section (whose X and Y may be formulas of the
// shape's size) and the glue of a connector's ends to such rows.  Before
// the model's geometry is read, settle() puts every glued end where its
// row now lies and every lifeline's end at its control's height.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "drawing/drawing_xml.h"
#include "drawing/model.h"

namespace host {

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

// A connector end glued to a connection row of a shape.
struct Glue {
  const drawing::Shape* target = nullptr;
  size_t row = 0;
};

struct ShapeCells {
  // Set by name, in the order first set.
  std::vector<std::pair<std::string, double>> named;
  std::vector<ConnectionRow> rows;
  Glue beginGlue, endGlue;

  const double* namedCell(const std::string& cellName) const;
  double* namedCell(const std::string& cellName);
};

// A page of a drawing the host holds, with its shapes' cells.
struct HostPage {
  drawing::Page* page = nullptr;
  std::unordered_map<const drawing::Shape*, ShapeCells> cells;

  ShapeCells& of(const drawing::Shape& shape) { return cells[&shape]; }
  const ShapeCells* find(const drawing::Shape& shape) const;
  double evaluate(const drawing::Shape& shape, const CellValue& cell) const;
  // Where a connection row lies on the page, and the way out of it.
  drawing::Point rowPosition(const drawing::Shape& shape, size_t row) const;
  drawing::Point rowDirection(const drawing::Shape& shape, size_t row) const;
  // A row's cell name: Connections.<name>, or Connections.Row_<n> (1-based).
  std::string rowCellName(const drawing::Shape& shape, size_t row) const;
  // Glued ends and lifelines as the cells now put them.
  void settle();
};

// A document the host has open: a drawing, or a stencil of masters.
struct OpenDocument {
  std::string path;
  std::string fileName;  // the last part of the path, how Documents.Item knows it
  bool isStencil = false;
  std::unique_ptr<drawing::Document> drawing;
  std::vector<std::unique_ptr<HostPage>> pages;  // as the drawing's pages

  HostPage& addPage(std::unique_ptr<drawing::Page> page);
};

struct ApplicationModel {
  std::vector<std::unique_ptr<OpenDocument>> documents;
  uint16_t language = 0;  // a Windows language id such as 1033; 0 when never set
};

// The cells, connection rows and glue of a document's shapes, as the
// drawing XML lists them.
class CellsInXml : public drawing::XmlExtras {
 public:
  explicit CellsInXml(const OpenDocument& document) : document_(document) {}
  void endAttributes(std::string& out, const drawing::Shape& connector, bool begin) const override;
  void shapeElements(std::string& out, const drawing::Shape& shape) const override;

 private:
  const ShapeCells* cellsOf(const drawing::Shape& shape, const HostPage** page) const;
  const OpenDocument& document_;
};

// The language's tag as HTML names it ("en-US" for 1033); empty for an id
// the host does not know.
std::string languageTag(uint16_t id);

}  // namespace host
