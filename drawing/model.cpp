#include "drawing/model.h"

#include <algorithm>

namespace drawing {

const char* encodingName(text::Charset encoding) {
  return encoding == text::Charset::Utf8 ? "UTF-8" : "ISO-8859-1";
}

Shape* Page::find(const std::string& shapeName) const {
  auto it = byName.find(shapeName);
  if (it == byName.end() || it->second.empty()) return nullptr;
  return it->second.front();
}

void Page::rename(Shape& shape, const std::string& newName) {
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
                             [](const Shape* a, const Shape* b) { return a->id < b->id; });
  list.insert(at, &shape);
}

}  // namespace drawing
