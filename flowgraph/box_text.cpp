#include "flowgraph/box_text.h"

#include <algorithm>
#include <charconv>

namespace flowgraph {
namespace {

constexpr std::string_view kModelSeparator = flowchart::kLineSeparator;

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\f\v\r\n");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\f\v\r\n");
  return text.substr(first, last - first + 1);
}

// Tabs become blanks and other control bytes are dropped, so that labels
// and tooltips hold printable text only.
std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') out += ' ';
    else if (byte >= 0x20 && byte != 0x7F) out += c;
  }
  return out;
}

// The pieces of a model text between its two-character line separators.
std::vector<std::string> modelLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(kModelSeparator, start);
    lines.push_back(printable(trimmed(text.substr(start, at - start))));
    if (at == std::string_view::npos) break;
    start = at + kModelSeparator.size();
  }
  return lines;
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::string lineSpan(const Block& block) {
  if (!block.startLine) return {};
  const int32_t first = *block.startLine;
  const int32_t last = block.endLine.value_or(first);
  if (last <= first) return "Line " + std::to_string(first);
  return "Lines " + std::to_string(first) + "-" + std::to_string(last);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += '\n';
    out += line;
  }
  return out;
}

int32_t intHint(const Block& block, std::string_view id) {
  const std::string* value = block.hint(id);
  if (!value) return 0;
  int32_t number = 0;
  std::from_chars(value->data(), value->data() + value->size(), number);
  return number;
}

// A process box: its source lines, without the indentation they share.
BoxText processText(const Block& block, const flowchart::SourceLines& source, Charset charset) {
  BoxText text;
  if (!block.startLine) return text;
  const int32_t first = *block.startLine;
  const int32_t last = std::max(first, block.endLine.value_or(first));
  std::vector<std::string> raw;
  size_t indent = std::string::npos;
  // A box never claims more lines than the source has.
  const int64_t lastRead = std::min<int64_t>(last, static_cast<int64_t>(source.size()));
  for (int64_t n = first; n <= lastRead; ++n) {
    std::string line = printable(source.line(n));
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty()) indent = std::min(indent, line.find_first_not_of(' '));
    raw.push_back(std::move(line));
  }
  std::vector<std::string> shown;
  std::string tooltip = lineSpan(block);
  for (size_t i = 0; i < raw.size(); ++i) {
    std::string_view line = raw[i];
    if (indent != std::string::npos && line.size() >= indent) line.remove_prefix(indent);
    tooltip += "\n" + std::to_string(first + static_cast<int64_t>(i)) + ": " + std::string(line);
    if (!trimmed(line).empty()) shown.emplace_back(trimmed(line));
  }
  text.lines = labelLines(shown, kMaxLabelLines, kMaxLabelColumns, charset);
  text.tooltip = std::move(tooltip);
  return text;
}

// The text of a block the model gives none: a try or synchronized block
// shows its statement's head, the source up to its opening brace.
std::string headText(const Block& block, const flowchart::SourceLines& source) {
  if (block.type == "try" && block.startLine) {
    std::string_view line = source.line(*block.startLine);
    line = trimmed(line.substr(0, line.find('{')));
    if (!line.empty()) return printable(line);
  }
  return block.type;
}

}  // namespace

std::string conceptIdOf(const Block& block) {
  const std::string& type = block.type;
  if (type.empty()) {
    const std::string* exit = block.hint("EXIT");
    return exit && *exit == "RETURN" ? "RETURN" : "block";
  }
  if (type == "block") return "blocks";
  if (intHint(block, "NO_COND") > 0) {
    if (type == "if") return "Spl-if";
    if (type == "while") return "Spl-while";
    if (type == "dowhile") return "Spl-dowhile";
    if (type == "for") return "Spl-for";
  }
  return type;
}

BoxText blockText(const Block& block, const flowchart::SourceLines& source, Charset charset) {
  if (block.type.empty()) return processText(block, source, charset);
  BoxText text;
  std::string span = lineSpan(block);
  if (block.type == "block") {
    text.lines = {"Folded Block"};
    if (!span.empty()) span[0] = 'l';  // "lines 5-8"
    text.tooltip = "Folded block" + (span.empty() ? std::string() : ", " + span);
    return text;
  }
  std::vector<std::string> lines = modelLines(block.text);
  if (lines.size() == 1 && lines[0].empty()) lines = {headText(block, source)};
  text.lines = labelLines(lines, kMaxLabelLines, kMaxLabelColumns, charset);
  text.tooltip = span.empty() ? joined(lines) : span + "\n" + joined(lines);
  return text;
}

BoxText commentText(const Block& block, Charset charset) {
  BoxText text;
  const std::string* comment = block.hint("COMMENT");
  if (!comment) return text;
  const std::vector<std::string> lines = modelLines(*comment);
  text.lines = labelLines(lines, kMaxLabelLines, kMaxLabelColumns, charset);
  text.tooltip = joined(lines);
  return text;
}

std::string shortened(std::string_view line, size_t columns, Charset charset) {
  constexpr std::string_view kEllipsis = "...";
  size_t characters = 0;
  size_t cut = std::string_view::npos;  // byte offset where columns - 3 characters end
  for (size_t i = 0; i < line.size(); ++i) {
    if (charset == Charset::Utf8 && isContinuation(static_cast<unsigned char>(line[i]))) continue;
    if (characters == columns - kEllipsis.size()) cut = i;
    if (++characters > columns) return std::string(line.substr(0, cut)) + std::string(kEllipsis);
  }
  return std::string(line);
}

std::vector<std::string> labelLines(const std::vector<std::string>& lines, size_t maxLines,
                                    size_t columns, Charset charset) {
  std::vector<std::string> out;
  const bool cut = lines.size() > maxLines;
  const size_t kept = cut ? maxLines - 1 : lines.size();
  for (size_t i = 0; i < kept; ++i) out.push_back(shortened(lines[i], columns, charset));
  if (cut) out.push_back("... (" + std::to_string(lines.size() - kept) + " more lines)");
  return out;
}

Charset charsetOf(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, minimum = 0x80, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, minimum = 0x800, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, minimum = 0x10000, code = lead & 0x07;
    else return Charset::Latin1;
    if (i + length > bytes.size()) return Charset::Latin1;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (!isContinuation(next)) return Charset::Latin1;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return Charset::Latin1;
    i += length;
  }
  return Charset::Utf8;
}

}  // namespace flowgraph
