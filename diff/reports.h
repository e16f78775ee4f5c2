// The forms a diff is written in: JSON for tools, one line a method for
// the terminal, Markdown for a pull-request comment, and an HTML site.
#pragma once

#include <string>
#include <string_view>

#include "diff/model.h"
#include "errors/problem.h"

namespace diff {

std::string diffJson(const Diff& diff);

// "line 4" or "lines 4, 9": where Unicode escapes hide code in a method.
std::string hiddenLines(const MethodVersion& method);

// "src/Shop.java:42 Shop.checkout changed: +2 nodes, ~1; CC 5 → 6", one a
// listed method, then how many were unchanged.
std::string diffSummary(const Diff& diff);

// GitHub's limits on a comment and on one Mermaid block in it.
struct MarkdownLimits {
  size_t comment = 65536;
  size_t block = 50000;
  size_t blockEdges = 500;
  // A method of more boxes is shown as its changed region, the rest folded.
  size_t readableBoxes = 40;
};

// Whether a file holds tests, by the folders and names Maven and Gradle
// give them (src/test/, src/integrationTest/, *Test.java, *Tests.java,
// *IT.java): the comment draws production code first.
bool isTestSource(std::string_view path);

// The table of the listed methods (with links below linkPrefix when it is
// given), then each changed or added method's merged flowchart with the
// changed boxes' texts before and after, production code first and the
// largest change first; within the limits, and a method without a chart
// says why in its row.
std::string diffMarkdown(const Diff& diff, const std::string& linkPrefix, const MarkdownLimits& limits = {});

// The Mermaid text of one method's merged flowchart within the limits: the
// whole union, or, when that is too large to read or to render, the
// changed nodes with their neighbours, each run of the other nodes folded
// into one box that counts them; empty when even that is too large.
std::string mergedMermaid(const MethodDiff& method, const MarkdownLimits& limits);

// The site below folder, in three steps so that the pages of the methods
// can be written by several processes: its folders and shared files; the
// page of the listed method at index with its drawings (each on its own,
// in any order); then index.html, once the pages are there.
errors::Status startDiffSite(const std::string& folder);
errors::Status writeMethodPage(const Diff& diff, size_t index, const std::string& folder);
errors::Status finishDiffSite(const Diff& diff, const std::string& folder);

}  // namespace diff
