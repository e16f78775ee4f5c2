// Mode 17: draws the laid-out flowchart of one method, and of each of its
// folded blocks on a page of its own, and saves the drawing.
#pragma once

#include <string>
#include <vector>

namespace render {

// Result of drawFlowchart.
inline constexpr int kDrawn = 0;
inline constexpr int kNoDrawingHost = -1;  // also: the work folder cannot be written
inline constexpr int kSaveFailed = 100;

// layoutPath: the method's layout; workFolder receives out.xml and err.xml;
// foldedList: folded block names separated by ";", each drawn from
// <layout folder>/<name>.tmp (a name holding "/", "\" or that is ".."
// gets an empty page); templatePath: the flowchart template;
// savePath: where the drawing goes (its extension picks the format).
int drawFlowchart(const std::string& layoutPath, const std::string& workFolder,
                  const std::string& foldedList, const std::string& templatePath,
                  const std::string& savePath);

// The pieces between separators, empty pieces dropped; the whole text when
// the separator does not occur; nothing for the empty text.
std::vector<std::string> splitList(const std::string& text, char separator);

// The layout of a folded block: <layout folder>/<name>.tmp, where the
// layout folder is the method layout's path up to its last "/" or "\";
// a method layout path with neither lies in the current folder.
std::string foldedLayoutPath(const std::string& methodLayout, const std::string& name);

}  // namespace render
