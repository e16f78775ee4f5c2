// The raster plug-in: our SVG pictures as PNG and PDF, drawn by librsvg
// with cairo.  Built as its own shared library, opened by the command
// only when a PNG or PDF is asked for (raster.cpp).
#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "raster/plugin_api.h"

namespace {

// A picture's bytes, or the message saying why it was not made.
struct Painted {
  bool made = false;
  std::string bytes;
};
Painted problem(std::string why) { return Painted{false, std::move(why)}; }

struct HandleFree {
  void operator()(RsvgHandle* handle) const { g_object_unref(handle); }
};
struct SurfaceFree {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextFree {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Handle = std::unique_ptr<RsvgHandle, HandleFree>;
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;
using Context = std::unique_ptr<cairo_t, ContextFree>;

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The handle, or why the SVG cannot be read.
Handle readSvg(std::string_view svg, std::string& why) {
  GError* error = nullptr;
  // Nothing the picture names outside itself is loaded.
  RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
  if (!handle) {
    why = "the picture cannot be drawn: " + std::string(error ? error->message : "unreadable SVG");
    if (error) g_error_free(error);
  }
  return Handle(handle);
}

Painted renderProblem(GError* error) {
  std::string why = error ? error->message : "librsvg refused it";
  if (error) g_error_free(error);
  return problem("the picture cannot be drawn: " + why);
}

// An SVG read, with its own size in pixels; or why it cannot be drawn.
struct Picture {
  Handle handle;
  double width = 0, height = 0;
  std::string why;
};

Picture readPicture(std::string_view svg) {
  Picture picture;
  picture.handle = readSvg(svg, picture.why);
  if (picture.handle &&
      !(rsvg_handle_get_intrinsic_size_in_pixels(picture.handle.get(), &picture.width, &picture.height) &&
        picture.width > 0 && picture.height > 0))
    picture.why = "the picture cannot be drawn: it has no size";
  return picture;
}

std::string cairoProblem(cairo_status_t status) { return cairo_status_to_string(status); }

// The extent of each page, by number: the viewBox of the view our SVG
// writes before it (<view id="view-page-2" viewBox="0 1045.3 1068 784"/>),
// its title and its picture.  librsvg's ink rectangle of a page's group
// reaches up to the picture's top, so that page k would be as tall as
// pages 1 to k.
std::map<int, RsvgRectangle> pageViews(std::string_view svg) {
  static constexpr std::string_view kView = "<view id=\"view-page-";
  std::map<int, RsvgRectangle> views;
  for (size_t at = svg.find(kView); at != std::string_view::npos; at = svg.find(kView, at + 1)) {
    const char* p = svg.data() + at + kView.size();
    const char* const end = svg.data() + svg.size();
    int page = 0;
    const std::from_chars_result number = std::from_chars(p, end, page);
    static constexpr std::string_view kBox = "\" viewBox=\"";
    if (number.ec != std::errc() ||
        std::string_view(number.ptr, static_cast<size_t>(end - number.ptr)).substr(0, kBox.size()) != kBox)
      continue;
    p = number.ptr + kBox.size();
    double numbers[4] = {};
    bool read = true;
    for (double& each : numbers) {
      while (p < end && *p == ' ') ++p;
      const std::from_chars_result got = std::from_chars(p, end, each);
      read = read && got.ec == std::errc();
      p = got.ptr;
    }
    if (read && numbers[2] > 0 && numbers[3] > 0) views[page] = RsvgRectangle{numbers[0], numbers[1], numbers[2], numbers[3]};
  }
  return views;
}

Painted pngFromSvg(std::string_view svg, double scale) {
  const Picture picture = readPicture(svg);
  if (!picture.why.empty()) return problem(picture.why);
  const Handle& handle = picture.handle;
  const double width = picture.width, height = picture.height;
  // cairo's image surfaces stop at 32767 pixels a side.
  constexpr double kLargest = 32767;
  if (width * scale > kLargest || height * scale > kLargest)
    return problem("the picture is too large for a PNG (" + std::to_string(int(width * scale)) + " x " +
                   std::to_string(int(height * scale)) + " pixels; a side holds at most 32767): write a PDF or SVG");
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(width * scale)),
                                             static_cast<int>(std::ceil(height * scale))));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    return problem("the picture cannot be drawn: " + cairoProblem(cairo_surface_status(surface.get())));
  Context cr(cairo_create(surface.get()));
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_paint(cr.get());
  const RsvgRectangle viewport{0, 0, width * scale, height * scale};
  GError* error = nullptr;
  if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) return renderProblem(error);
  std::string png;
  if (cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), appendBytes, &png);
      status != CAIRO_STATUS_SUCCESS)
    return problem("the PNG cannot be made: " + cairoProblem(status));
  return Painted{true, std::move(png)};
}

Painted pdfFromSvg(std::string_view svg, std::string_view title) {
  const Picture picture = readPicture(svg);
  if (!picture.why.empty()) return problem(picture.why);
  const Handle& handle = picture.handle;
  const double width = picture.width, height = picture.height;
  const RsvgRectangle whole{0, 0, width, height};
  // Each page's extent inside the whole picture: its view, else (an SVG
  // not of ours) what its group draws.
  const std::map<int, RsvgRectangle> views = pageViews(svg);
  std::vector<std::pair<std::string, RsvgRectangle>> pages;
  for (int n = 1;; ++n) {
    const std::string id = "#page-" + std::to_string(n);
    if (!rsvg_handle_has_sub(handle.get(), id.c_str())) break;
    RsvgRectangle ink{}, logical{};
    if (const auto view = views.find(n); view != views.end())
      ink = view->second;
    else if (!rsvg_handle_get_geometry_for_layer(handle.get(), id.c_str(), &whole, &ink, &logical, nullptr))
      break;
    pages.emplace_back(id, ink);
  }
  if (pages.empty()) pages.emplace_back("", whole);

  std::string pdf;
  // PDF points are 1/72 inch; the SVG's pixels 1/96.
  constexpr double kPoints = 72.0 / 96.0;
  Surface surface(cairo_pdf_surface_create_for_stream(appendBytes, &pdf, pages.front().second.width * kPoints,
                                                      pages.front().second.height * kPoints));
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "2000-01-01T00:00:00Z");
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_MOD_DATE, "2000-01-01T00:00:00Z");
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "flowchart");
  if (!title.empty())
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, std::string(title).c_str());
  Context cr(cairo_create(surface.get()));
  for (size_t p = 0; p < pages.size(); ++p) {
    const RsvgRectangle& area = pages[p].second;
    cairo_pdf_surface_set_size(surface.get(), area.width * kPoints, area.height * kPoints);
    cairo_save(cr.get());
    cairo_scale(cr.get(), kPoints, kPoints);
    cairo_translate(cr.get(), -area.x, -area.y);
    GError* error = nullptr;
    const bool drawn = pages[p].first.empty()
                           ? rsvg_handle_render_document(handle.get(), cr.get(), &whole, &error)
                           : rsvg_handle_render_layer(handle.get(), cr.get(), pages[p].first.c_str(), &whole, &error);
    cairo_restore(cr.get());
    if (!drawn) return renderProblem(error);
    cairo_show_page(cr.get());
  }
  cr.reset();
  cairo_surface_finish(surface.get());
  if (cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
    return problem("the PDF cannot be made: " + cairoProblem(status));
  return Painted{true, std::move(pdf)};
}

int hand(const Painted& painted, flowchart_raster_sink out, void* outClosure, flowchart_raster_sink why,
         void* whyClosure) {
  if (!painted.made) {
    why(whyClosure, painted.bytes.data(), painted.bytes.size());
    return 0;
  }
  out(outClosure, painted.bytes.data(), painted.bytes.size());
  return 1;
}

int png(const char* svg, size_t svgLength, double scale, flowchart_raster_sink out, void* outClosure,
        flowchart_raster_sink why, void* whyClosure) {
  return hand(pngFromSvg(std::string_view(svg, svgLength), scale), out, outClosure, why, whyClosure);
}

int pdf(const char* svg, size_t svgLength, const char* title, size_t titleLength, flowchart_raster_sink out,
        void* outClosure, flowchart_raster_sink why, void* whyClosure) {
  return hand(pdfFromSvg(std::string_view(svg, svgLength), std::string_view(title, titleLength)), out, outClosure,
              why, whyClosure);
}

constexpr flowchart_raster_table kEntries{FLOWCHART_RASTER_VERSION, png, pdf};

}  // namespace

extern "C" __attribute__((visibility("default"))) const flowchart_raster_table* flowchart_raster_entries(void) {
  return &kEntries;
}
