// What a node shows and what its tooltip says: the block type the drawing
// maps to a master, the label (shortened for long boxes) and the full
// text with its line numbers for hovering.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "flowchart/source_text.h"
#include "flowgraph/method_model.h"

namespace flowgraph {

enum class Charset { Utf8, Latin1 };

// The node's "CONCEPTID": the block type, or the front end's own types:
// "block" for a process box, "RETURN" for one that ends in a return,
// "blocks" for a folded block, "Spl-if", "Spl-while", "Spl-dowhile" and
// "Spl-for" for decisions and loops with && or || in their condition.
std::string conceptIdOf(const Block& block);

struct BoxText {
  std::vector<std::string> lines;  // the label, line by line, at most kMaxLabelLines
  std::string tooltip;             // full text and line numbers, lines split by '\n'
};

inline constexpr size_t kMaxLabelLines = 8;
inline constexpr size_t kMaxLabelColumns = 48;

// The text of a block's node.  Process boxes show their source lines,
// trimmed; every other block its model text.
BoxText blockText(const Block& block, const flowchart::SourceLines& source, Charset charset);
// The text of the comment node beside a block with a "COMMENT" hint.
BoxText commentText(const Block& block, Charset charset);

// The first columns of a line; cut lines end in "...".  Columns count
// characters, so a UTF-8 text is never cut inside a character.
std::string shortened(std::string_view line, size_t columns, Charset charset);
// Label lines from full lines: at most maxLines, the last of them saying
// how many more there are.
std::vector<std::string> labelLines(const std::vector<std::string>& lines, size_t maxLines,
                                    size_t columns, Charset charset);

// Valid UTF-8 with at least one byte above 0x7F gives Utf8 only when the
// text holds no byte sequence UTF-8 refuses; anything else is ISO-8859-1.
Charset charsetOf(std::string_view sourceBytes);

}  // namespace flowgraph
