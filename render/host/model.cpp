#include "render/host/model.h"

#include <algorithm>

namespace host {

const char* encodingName(text::Charset encoding) {
  return encoding == text::Charset::Utf8 ? "UTF-8" : "ISO-8859-1";
}

const double* ShapeModel::namedCell(const std::string& cellName) const {
  for (const auto& [name, value] : namedCells)
    if (name == cellName) return &value;
  return nullptr;
}

double* ShapeModel::namedCell(const std::string& cellName) {
  for (auto& [name, value] : namedCells)
    if (name == cellName) return &value;
  return nullptr;
}

double ShapeModel::evaluate(const CellValue& cell) const {
  switch (cell.formula) {
    case CellValue::Formula::WidthTimes: return width * cell.factor;
    case CellValue::Formula::HeightTimes: return height * cell.factor;
    case CellValue::Formula::None: break;
  }
  return cell.value;
}

Point ShapeModel::rowPosition(size_t row) const {
  const Point base = origin();
  const ConnectionRow& r = rows.at(row);
  return {base.x + evaluate(r.cells[0]), base.y + evaluate(r.cells[1])};
}

Point ShapeModel::rowDirection(size_t row) const {
  const ConnectionRow& r = rows.at(row);
  return {evaluate(r.cells[2]), evaluate(r.cells[3])};
}

std::string ShapeModel::rowCellName(size_t row) const {
  const ConnectionRow& r = rows.at(row);
  if (!r.name.empty()) return "Connections." + r.name;
  return "Connections.Row_" + std::to_string(row + 1);
}

ShapeModel* PageModel::find(const std::string& shapeName) const {
  auto it = byName.find(shapeName);
  if (it == byName.end() || it->second.empty()) return nullptr;
  return it->second.front();
}

void PageModel::rename(ShapeModel& shape, const std::string& newName) {
  if (shape.name == newName) return;
  auto old = byName.find(shape.name);
  if (old != byName.end()) {
    auto& list = old->second;
    list.erase(std::remove(list.begin(), list.end(), &shape), list.end());
    if (list.empty()) byName.erase(old);
  }
  shape.name = newName;
  // Shapes.Item finds the earliest dropped shape of a name.
  auto& list = byName[newName];
  auto at = std::lower_bound(list.begin(), list.end(), &shape,
                             [](const ShapeModel* a, const ShapeModel* b) { return a->id < b->id; });
  list.insert(at, &shape);
}

}  // namespace host
