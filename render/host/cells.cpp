#include "render/host/cells.h"

#include "drawing/geometry.h"

namespace host {

const double* ShapeCells::namedCell(const std::string& cellName) const {
  for (const auto& [name, value] : named)
    if (name == cellName) return &value;
  return nullptr;
}

double* ShapeCells::namedCell(const std::string& cellName) {
  for (auto& [name, value] : named)
    if (name == cellName) return &value;
  return nullptr;
}

const ShapeCells* HostPage::find(const drawing::Shape& shape) const {
  const auto found = cells.find(&shape);
  return found == cells.end() ? nullptr : &found->second;
}

double HostPage::evaluate(const drawing::Shape& shape, const CellValue& cell) const {
  switch (cell.formula) {
    case CellValue::Formula::WidthTimes: return shape.width * cell.factor;
    case CellValue::Formula::HeightTimes: return shape.height * cell.factor;
    case CellValue::Formula::None: break;
  }
  return cell.value;
}

drawing::Point HostPage::rowPosition(const drawing::Shape& shape, size_t row) const {
  const drawing::Point base = shape.origin();
  const ConnectionRow& r = find(shape)->rows.at(row);
  return {base.x + evaluate(shape, r.cells[0]), base.y + evaluate(shape, r.cells[1])};
}

drawing::Point HostPage::rowDirection(const drawing::Shape& shape, size_t row) const {
  const ConnectionRow& r = find(shape)->rows.at(row);
  return {evaluate(shape, r.cells[2]), evaluate(shape, r.cells[3])};
}

std::string HostPage::rowCellName(const drawing::Shape& shape, size_t row) const {
  const ConnectionRow& r = find(shape)->rows.at(row);
  if (!r.name.empty()) return "Connections." + r.name;
  return "Connections.Row_" + std::to_string(row + 1);
}

namespace {

// The end's point before side snapping.
drawing::Point rawEnd(const HostPage& page, const drawing::Shape& connector, const ShapeCells& cells, bool begin) {
  const Glue& glue = begin ? cells.beginGlue : cells.endGlue;
  if (!glue.target) return (begin ? connector.begin : connector.end).at;
  return page.rowPosition(*glue.target, glue.row);
}

drawing::ConnectorEnd settledEnd(const HostPage& page, const drawing::Shape& connector, const ShapeCells& cells,
                                 bool begin) {
  const Glue& glue = begin ? cells.beginGlue : cells.endGlue;
  drawing::ConnectorEnd end;
  end.at = rawEnd(page, connector, cells, begin);
  if (!glue.target) return end;
  end.shape = glue.target;
  end.direction = page.rowDirection(*glue.target, glue.row);
  if (!page.find(*glue.target)->rows[glue.row].snapToSide) return end;
  const drawing::Box box = drawing::shapeBox(*glue.target);
  const drawing::Point other = rawEnd(page, connector, cells, !begin);
  end.at.x = other.x < box.centre().x ? box.left : box.right;
  return end;
}

}  // namespace

void HostPage::settle() {
  for (const auto& shape : page->shapes) {
    const ShapeCells* shapeCells = find(*shape);
    if (!shapeCells) continue;
    if (shape->isConnector()) {
      const drawing::ConnectorEnd begin = settledEnd(*this, *shape, *shapeCells, true);
      const drawing::ConnectorEnd end = settledEnd(*this, *shape, *shapeCells, false);
      shape->begin = begin;
      shape->end = end;
      continue;
    }
    shape->lifelineBottom.reset();
    for (const drawing::OutlinePart& part : shape->master->outline) {
      if (part.kind != drawing::OutlinePart::Kind::Lifeline) continue;
      if (const double* y = shapeCells->namedCell("Controls." + part.control + ".Y")) {
        shape->lifelineBottom = *y;
        break;
      }
    }
  }
}

HostPage& OpenDocument::addPage(std::unique_ptr<drawing::Page> page) {
  auto hosted = std::make_unique<HostPage>();
  hosted->page = page.get();
  drawing->pages.push_back(std::move(page));
  pages.push_back(std::move(hosted));
  return *pages.back();
}

const ShapeCells* CellsInXml::cellsOf(const drawing::Shape& shape, const HostPage** page) const {
  for (const auto& hosted : document_.pages)
    if (const ShapeCells* cells = hosted->find(shape)) {
      *page = hosted.get();
      return cells;
    }
  return nullptr;
}

void CellsInXml::endAttributes(std::string& out, const drawing::Shape& connector, bool begin) const {
  const HostPage* page = nullptr;
  const ShapeCells* cells = cellsOf(connector, &page);
  if (!cells) return;
  const Glue& glue = begin ? cells->beginGlue : cells->endGlue;
  if (!glue.target) return;
  drawing::xmlAttribute(out, "shape", glue.target->name);
  drawing::xmlAttribute(out, "cell", page->rowCellName(*glue.target, glue.row));
}

void CellsInXml::shapeElements(std::string& out, const drawing::Shape& shape) const {
  const HostPage* page = nullptr;
  const ShapeCells* cells = cellsOf(shape, &page);
  if (!cells) return;
  for (const auto& [name, value] : cells->named) {
    out += "      <cell";
    drawing::xmlAttribute(out, "name", name);
    drawing::xmlNumber(out, "value", value);
    out += "/>\n";
  }
  for (size_t i = 0; i < cells->rows.size(); ++i) {
    if (!cells->rows[i].added) continue;
    out += "      <connection";
    drawing::xmlNumber(out, "row", static_cast<double>(i + 1));
    drawing::xmlAttribute(out, "name", page->rowCellName(shape, i));
    drawing::xmlNumber(out, "x", page->evaluate(shape, cells->rows[i].cells[0]));
    drawing::xmlNumber(out, "y", page->evaluate(shape, cells->rows[i].cells[1]));
    out += "/>\n";
  }
}

std::string languageTag(uint16_t id) {
  switch (id) {
    case 1031: return "de-DE";
    case 1033: return "en-US";
    case 1036: return "fr-FR";
    case 1040: return "it-IT";
    case 1043: return "nl-NL";
    case 2057: return "en-GB";
    case 3082: return "es-ES";
    default: return {};
  }
}

}  // namespace host
