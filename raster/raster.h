// Our SVG pictures as PNG and PDF, drawn by librsvg with cairo, for slides
// and printed handouts.  The same SVG gives the same bytes every time: the
// PDF's creation date is fixed rather than the clock's.
//
// librsvg, cairo and what they load (pango, ICU, X11...) live in a plug-in,
// flowchart-raster.so, opened on the first PNG or PDF: every other use of
// the command starts without them.  It is looked for beside the command,
// then in ../lib/flowchart/ from it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "errors/problem.h"

struct flowchart_raster_table;

namespace raster {

// The plug-in's file name.
inline constexpr std::string_view kPluginName = "flowchart-raster.so";

// An opened plug-in.  It stays loaded for the rest of the process
// (librsvg's libraries cannot be unloaded safely), so a Painter is a
// plain value.
class Painter {
 public:
  // The plug-in in `file`; a problem of kind Resource, saying why, when it
  // cannot be opened or is not a plug-in of this build.
  static errors::Result<Painter> open(const std::filesystem::path& file);

  // The whole picture at `scale` times the SVG's size in pixels.
  errors::Result<std::string> png(std::string_view svg, double scale = 2.0) const;
  // One PDF page for each group the SVG marks as a page (id "page-1",
  // "page-2", ...), each page the size of what it shows: the extent of its
  // view ("view-page-1", ...), else of what its group draws; the whole
  // picture on one page when it marks none.  Texts stay text: they can be
  // selected and searched.
  errors::Result<std::string> pdf(std::string_view svg, std::string_view title = {}) const;

 private:
  explicit Painter(const flowchart_raster_table* entries) : entries_(entries) {}
  const flowchart_raster_table* entries_;
};

// The installed plug-in, opened on the first call and kept; the problem
// of the first call on every later one.
errors::Result<Painter> installedPainter();

// With the installed plug-in.
errors::Result<std::string> pngFromSvg(std::string_view svg, double scale = 2.0);
errors::Result<std::string> pdfFromSvg(std::string_view svg, std::string_view title = {});

}  // namespace raster
