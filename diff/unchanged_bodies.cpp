#include "diff/unchanged_bodies.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "files/source_lines.h"
#include "frontends/java/syntax/syntax_tree.h"

namespace diff {
namespace {

using syntax::Kind;

// A declaration's body block: none for an abstract or native method.
syntax::Node bodyOf(const syntax::Node& declaration) {
  if (declaration.is(Kind::MtdDecln)) return declaration.child(Kind::MtdBody).child(Kind::Blk);
  if (declaration.is(Kind::CtorDecln) || declaration.is(Kind::StaticInit) || declaration.is(Kind::NonStaticInit))
    return declaration.child(Kind::Blk);
  return syntax::Node();
}

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string_view trimmed(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t\f");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\f") - first + 1);
}

// Token lines are counted by line feeds alone only when the text has no
// carriage return standing alone.  (Line breaks that Unicode escapes
// stand for are no lines of the file: tokens keep the lines of the file
// as written, and blanking whole lines keeps every escape whole.)
bool linesAreLineFeeds(std::string_view text) {
  for (size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1))
    if (at + 1 == text.size() || text[at + 1] != '\n') return false;
  return true;
}

// The tokens of a declaration before its body, as the scanner gave them.
std::vector<std::string_view> headerTokens(const syntax::Node& declaration, const syntax::Node& body) {
  std::vector<std::string_view> tokens;
  const syntax::Node open = body.firstToken();
  for (const syntax::Node token : declaration.tokens()) {
    if (token == open) break;
    tokens.push_back(token.raw());
  }
  return tokens;
}

}  // namespace

std::optional<Skeleton> skeletonOf(std::string_view baseText, pipeline::ParsedSource& head) {
  const files::SourceLines& headLines = head.lines();
  if (!linesAreLineFeeds(baseText) || !linesAreLineFeeds(headLines.text())) return std::nullopt;
  const pipeline::FileSummary& summary = head.summary();
  struct Candidate {
    size_t method;
    int32_t first, last, open, close;  // head's lines
  };
  std::vector<Candidate> spans;
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const syntax::Node declaration = head.declarationOf(summary.methods[m]);
    if (!declaration) return std::nullopt;  // what nests in what is not known
    const syntax::Node body = bodyOf(declaration);
    const Candidate span{m, declaration.firstLine(), declaration.lastLine(), body ? body.firstToken().line() : 0,
                         body ? body.lastToken().line() : 0};
    spans.push_back(span);
  }
  // In the order of their first lines, a method shares lines with another
  // (one nests in the other) when it reaches the next one's first line, or
  // one before it reaches its own.
  std::sort(spans.begin(), spans.end(), [](const Candidate& a, const Candidate& b) { return a.first < b.first; });
  std::vector<Candidate> candidates;
  int32_t reached = 0;  // the last line of the methods before
  for (size_t k = 0; k < spans.size(); ++k) {
    const Candidate& span = spans[k];
    const bool alone = reached < span.first && (k + 1 == spans.size() || span.last < spans[k + 1].first);
    reached = std::max(reached, span.last);
    if (!alone || span.open <= 0 || span.close - span.open < 2 || span.first > span.open) continue;
    const std::string_view openLine = trimmed(headLines.line(span.open));
    const std::string_view closeLine = trimmed(headLines.line(span.close));
    if (openLine.empty() || openLine.back() != '{' || closeLine.empty() || closeLine.front() != '}') continue;
    bool ascii = true;
    for (int32_t line = span.first; line <= span.last && ascii; ++line) ascii = isAscii(headLines.line(line));
    if (ascii) candidates.push_back(span);
  }
  if (candidates.empty()) return std::nullopt;
  const files::SourceLines base = files::SourceLines::fromText(std::string(baseText), INT32_MAX);
  const auto lineCount = static_cast<int32_t>(base.size());
  std::vector<size_t> hashes(base.size());  // of base's lines, to find a head line among them quickly
  for (int32_t line = 1; line <= lineCount; ++line) hashes[line - 1] = std::hash<std::string_view>()(base.line(line));
  Skeleton skeleton;
  skeleton.text = std::string(baseText);
  int32_t from = 1;  // base's lines before this are taken
  for (const Candidate& candidate : candidates) {
    const int32_t length = candidate.last - candidate.first + 1;
    const std::string_view firstLine = headLines.line(candidate.first);
    const size_t firstHash = std::hash<std::string_view>()(firstLine);
    for (int32_t at = from; at + length - 1 <= lineCount; ++at) {
      if (hashes[at - 1] != firstHash || base.line(at) != firstLine) continue;
      bool same = true;
      for (int32_t k = 1; k < length && same; ++k) same = base.line(at + k) == headLines.line(candidate.first + k);
      if (!same) continue;
      const int32_t shift = at - candidate.first;
      for (int32_t line = candidate.open + 1; line < candidate.close; ++line) {
        // The line's place in base's text: the source lines keep the text as it came.
        const std::string_view blanked = base.line(line + shift);
        std::fill_n(skeleton.text.begin() + (blanked.data() - base.text().data()), blanked.size(), ' ');
      }
      skeleton.bodies.push_back({candidate.open + shift, candidate.method});
      from = at + length;
      break;
    }
  }
  if (skeleton.bodies.empty()) return std::nullopt;
  return skeleton;
}

std::optional<std::map<size_t, size_t>> blankedMethods(const Skeleton& skeleton, pipeline::ParsedSource& base,
                                                       pipeline::ParsedSource& head) {
  std::map<int32_t, size_t> byOpenLine;  // base's methods with a body, by the line of its "{"
  const pipeline::FileSummary& summary = base.summary();
  for (size_t m = 0; m < summary.methods.size(); ++m)
    if (const syntax::Node declaration = base.declarationOf(summary.methods[m]))
      if (const syntax::Node body = bodyOf(declaration)) byOpenLine.emplace(body.firstToken().line(), m);
  std::map<size_t, size_t> blanked;
  for (const BlankedBody& body : skeleton.bodies) {
    const auto found = byOpenLine.find(body.openLine);
    if (found == byOpenLine.end()) return std::nullopt;
    const syntax::Node baseDeclaration = base.declarationOf(summary.methods[found->second]);
    const syntax::Node headDeclaration = head.declarationOf(head.summary().methods[body.headMethod]);
    const syntax::Node baseBody = bodyOf(baseDeclaration);
    // "{" and "}" alone, after the same tokens.
    if (std::distance(baseBody.tokens().begin(), baseBody.tokens().end()) != 2 ||
        headerTokens(baseDeclaration, baseBody) != headerTokens(headDeclaration, bodyOf(headDeclaration)))
      return std::nullopt;
    blanked.emplace(found->second, body.headMethod);
  }
  return blanked;
}

}  // namespace diff
