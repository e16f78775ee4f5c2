// The flowchart command's commands.  Each returns how it ended
// (command_result.h); results go to standard output, problems to
// standard error.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/command_result.h"
#include "flowdraw/pages.h"
#include "drawing/drawing_svg.h"
#include "drawing/model.h"
#include "formats/output_formats.h"
#include "pipeline/parsed_source.h"
#include "errors/problem.h"

namespace cli {

// The language the drawings' texts are in, as HTML names it.
inline constexpr std::string_view kDrawingLanguage = "en-US";

CommandResult runList(const ListRequest& request);
CommandResult runDraw(const DrawRequest& request);
CommandResult runSequence(const SequenceRequest& request);
CommandResult runBatch(const BatchRequest& request);
CommandResult runCheck(const CheckRequest& request);
CommandResult runIndex(const IndexRequest& request);
CommandResult runDiff(const DiffRequest& request);
CommandResult runConfig(const ConfigRequest& request);

// Serves the language server on standard input and output; its exit status.
int runLsp(const char* version);

inline flowdraw::Fold foldFor(FoldMode mode) {
  switch (mode) {
    case FoldMode::None: return flowdraw::Fold::None;
    case FoldMode::All: return flowdraw::Fold::All;
    default: return flowdraw::Fold::Auto;
  }
}

// The source a command works on, parsed; when it cannot be, the problem,
// reported as FILE:LINE: message.
errors::Result<pipeline::ParsedSource> parseSource(const std::string& path, int languageLevel);

// The writer of the path's form among those serving (a set of
// formats::Serves); the drawing's XML for an extension none has.
formats::Writer writerOf(const std::string& path, unsigned serving);

// Writes the drawing in the form the path's extension asks for, through
// a temporary file; an HTML page framed as
// the frame says, when one is given.
errors::Status saveDrawing(const drawing::Document& drawing, const std::string& path,
                           const drawing::HtmlFrame* frame = nullptr);

// A --src DIR that is no folder is reported as wrong usage; fine when it
// is a folder or not given.
errors::Status checkSourceTree(const std::string& tree);

}  // namespace cli
