// What the raster plug-in (flowchart-raster.so) and the command share: one
// C function handing out a table of the plug-in's entries, so that the
// command starts without cairo, librsvg and what they load (pango, ICU,
// X11...), and opens them only when a PNG or PDF is asked for.
#pragma once

#include <stddef.h>

extern "C" {

// Bumped whenever the table below changes, so that a plug-in built from
// other sources is refused rather than called wrongly.
#define FLOWCHART_RASTER_VERSION 1

// Receives bytes: the picture, or the message saying why it was not made.
typedef void (*flowchart_raster_sink)(void* closure, const char* data, size_t length);

struct flowchart_raster_table {
  int version;
  // Each returns 1 with the picture written to `out`, or 0 with the
  // message written to `why`.
  int (*png)(const char* svg, size_t svg_length, double scale, flowchart_raster_sink out, void* out_closure,
             flowchart_raster_sink why, void* why_closure);
  int (*pdf)(const char* svg, size_t svg_length, const char* title, size_t title_length,
             flowchart_raster_sink out, void* out_closure, flowchart_raster_sink why, void* why_closure);
};

// The one symbol the command looks up in the plug-in.
#define FLOWCHART_RASTER_ENTRY "flowchart_raster_entries"
const struct flowchart_raster_table* flowchart_raster_entries(void);

}
