// The colours of a drawing in the light and the dark scheme.  The light
// ones are the masters' own; the dark ones are a palette of their own
// (not the picture inverted), chosen so that text and lines stay as
// readable on the dark page as on the light one.  Pages apply the dark
// palette through CSS that outranks the pictures' colour attributes, so
// that one picture serves both schemes and printing keeps the light one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/master.h"

namespace drawing {

struct Palette {
  std::string fill;    // "none" for an outline without a fill
  std::string stroke;  // also the fill of a connector's arrowhead
  std::string text;
};

// The sheet a picture is drawn on and the text round it.
struct Sheet {
  const char* background;
  const char* text;
};
extern const Sheet kLightSheet;
extern const Sheet kDarkSheet;

// A master's colours as the light scheme draws them.
Palette lightPalette(const Master& master);
// The dark palette of a master, by its name; nullptr for a master the
// table does not know (it keeps its light colours).
const Palette* darkPalette(std::string_view masterName);

// The contrast ratio of two "#rrggbb" colours, from 1 to 21; 0 when one
// of them is not such a colour.
double contrastRatio(std::string_view first, std::string_view second);

// The style rules that give the masters' shapes their dark palette when
// the reader's scheme is dark (and no light one was chosen on the page)
// or the page's root says data-theme="dark"; never in print.
std::string darkDrawingCss(const std::vector<std::shared_ptr<const Master>>& masters);

}  // namespace drawing
