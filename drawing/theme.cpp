#include "drawing/theme.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace drawing {

const Sheet kLightSheet{"#ffffff", "#222222"};
const Sheet kDarkSheet{"#1b1f24", "#e6e9ee"};

namespace {

// Fills are deep and quiet, strokes bright enough to stand out against the
// sheet, texts near white: the kinds keep their hues from the light scheme.
const std::map<std::string, Palette, std::less<>>& darkTable() {
  static const std::map<std::string, Palette, std::less<>> table = {
      // flowcharts
      {"Start", {"#1f3a24", "#7fbf73", "#e6f2e3"}},
      {"End", {"#1f3a24", "#7fbf73", "#e6f2e3"}},
      {"Exit", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Statement", {"#1d2d45", "#7fa6dd", "#e3ecfa"}},
      {"Return", {"#45301a", "#e0a060", "#fbeadb"}},
      {"Throw", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Jump", {"#35284a", "#b69ad0", "#efe6f7"}},
      {"Decision", {"#453a12", "#d8b64a", "#fbf3d6"}},
      {"Switch", {"#45301a", "#e0a060", "#fbeadb"}},
      {"Join", {"#1b1f24", "#a0a8b4", "#e6e9ee"}},
      {"Try", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Catch", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Finally", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Resources", {"#4a1f1f", "#ef8a86", "#fbe3e2"}},
      {"Synchronized", {"#17393a", "#6fc0c0", "#dff2f2"}},
      {"Folded", {"#1d2d45", "#8fb3e8", "#e3ecfa"}},
      {"Off Page", {"#2c3138", "#a0a8b4", "#e6e9ee"}},
      {"Comment", {"#2e2e22", "#a8a878", "#eeeedd"}},
      {"Frame", {"none", "#8794a8", "#b8c2d2"}},
      {"Flow", {"#c0c6cf", "#c0c6cf", "#e6e9ee"}},
      {"True Flow", {"#6cc070", "#6cc070", "#7fd083"}},
      {"False Flow", {"#f07070", "#f07070", "#f58a8a"}},
      {"Case Flow", {"#e0a060", "#e0a060", "#eab57c"}},
      {"Exception Flow", {"#ef8a86", "#ef8a86", "#ef8a86"}},
      {"Comment Link", {"#a8a878", "#a8a878", "#eeeedd"}},
      // sequence diagrams
      {"Object Lifeline", {"#3a3314", "#d8c070", "#f7f0d6"}},
      {"Activation", {"#2a2f36", "#d8c070", "#e6e9ee"}},
      {"Fragment", {"none", "#8fa0c4", "#c5d0e8"}},
      {"Operand", {"none", "#8fa0c4", "#c5d0e8"}},
      {"Message (call)", {"#d0d4da", "#d0d4da", "#e6e9ee"}},
      {"Message (call) ", {"#d0d4da", "#d0d4da", "#e6e9ee"}},
      {"Message (return)", {"#a8b0bb", "#a8b0bb", "#e6e9ee"}},
      {"Note", {"#33301f", "#c0b070", "#f2eed8"}},
  };
  return table;
}

double channel(int value) {
  const double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

bool luminance(std::string_view colour, double& out) {
  if (colour.size() != 7 || colour[0] != '#') return false;
  int rgb[3];
  for (int i = 0; i < 3; ++i) {
    const std::string part(colour.substr(1 + 2 * i, 2));
    char* end = nullptr;
    rgb[i] = static_cast<int>(std::strtol(part.c_str(), &end, 16));
    if (end != part.c_str() + 2) return false;
  }
  out = 0.2126 * channel(rgb[0]) + 0.7152 * channel(rgb[1]) + 0.0722 * channel(rgb[2]);
  return true;
}

// A master's name in a CSS attribute selector.
std::string quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

Palette lightPalette(const Master& master) {
  return {master.connector ? master.style.stroke : master.style.fill, master.style.stroke, master.style.textColor};
}

const Palette* darkPalette(std::string_view masterName) {
  const auto found = darkTable().find(masterName);
  return found == darkTable().end() ? nullptr : &found->second;
}

double contrastRatio(std::string_view first, std::string_view second) {
  double a = 0, b = 0;
  if (!luminance(first, a) || !luminance(second, b)) return 0.0;
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::string darkDrawingCss(const std::vector<std::shared_ptr<const Master>>& masters) {
  // Each master's colours as custom properties, set whatever the scheme;
  // the rules below use them only in the dark one.
  std::string out;
  std::vector<std::string> seen;
  for (const auto& master : masters) {
    const Palette* dark = darkPalette(master->name);
    if (!dark || std::find(seen.begin(), seen.end(), master->name) != seen.end()) continue;
    seen.push_back(master->name);
    out += "[data-master=" + quoted(master->name) + "]{--df:" + (dark->fill == "none" ? "none" : dark->fill) +
           ";--ds:" + dark->stroke + ";--dt:" + dark->text + "}\n";
  }
  // A shape's filled parts take its fill, its lines its stroke, its texts
  // its text colour; a text's halo is the sheet's colour.
  const std::string sheet = kDarkSheet.background;
  const std::string ink = kDarkSheet.text;
  for (const std::string root : {":root:not([data-theme=light])", ":root[data-theme=dark]"}) {
    const std::string s = root + " ";
    out += root == ":root[data-theme=dark]" ? "@media screen{" : "@media screen and (prefers-color-scheme:dark){";
    out += root + "{--sheet:" + sheet + "}\n" +
           s + "[data-master] [fill]:not([fill=none]):not(text)," + s + "[data-master] polygon{fill:var(--df)}\n" +
           s + "[data-master] [stroke]:not(text){stroke:var(--ds)}\n" +
           s + "[data-master] text{fill:var(--dt)}\n" +
           s + "[data-master] text[paint-order]{stroke:var(--sheet)}\n" +
           s + "text:not([data-master] text){fill:" + ink + "}\n" +
           s + "rect.sheet{fill:var(--sheet)}\n}\n";
  }
  return out;
}

}  // namespace drawing
