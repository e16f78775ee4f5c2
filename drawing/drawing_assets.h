// The style sheet and script of every HTML drawing, built into the
// program from drawing.css and drawing.js beside this header: inlined in
// a page of its own, or shared by a site's pages from its site/ folder.
//
// drawing.css: without the script, the section the address names shows,
// else the first one, and pictures scale down to the window's width; with
// it, the shown section fills the window below the header and its picture
// is panned and zoomed inside it.
// drawing.js: shows the section the location hash names (else the first),
// so that links between pages and the browser's back and forward buttons
// move between them; pans and zooms a page's picture by changing its
// viewBox.
#pragma once

#include <string_view>

namespace drawing {

extern const std::string_view kDrawingStyle;
extern const std::string_view kDrawingScript;
// drawing_theme.css: the pages' colours in the light and the dark scheme,
// the focus ring, the outline and the source panel; drawing_access.js: the
// theme switch, the keyboard's way through the boxes, the outline's links
// to them and a box's source lines.  Only pages of drawings that carry
// reader aids hold them; a site's pages share them.
extern const std::string_view kThemeStyle;
extern const std::string_view kAccessScript;

}  // namespace drawing
