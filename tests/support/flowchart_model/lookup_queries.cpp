#include "tests/support/flowchart_model/lookup_queries.h"

#include <algorithm>
#include <stdexcept>

#include "engine/flowchart_model/number_text.h"

namespace flowchart::testing {
namespace {

std::string textOrEmpty(const xml::Node& attribute) { return attribute ? attribute.text() : std::string(); }

template <typename T>
void expectSame(const T& walked, const T& queried, const char* what) {
  if (walked != queried) throw std::logic_error(std::string(what) + " disagrees with its query");
}

}  // namespace

std::string firstLineOfQuery(const xml::Node& node) {
  return textOrEmpty(node.selectSingleNode("descendant-or-self::*[@l]/@l"));
}

std::string lastLineOfQuery(const xml::Node& node) {
  xml::NodeList lines = node.selectNodes("descendant-or-self::*[@l]/@l");
  return lines.empty() ? std::string() : lines.back().text();
}

std::string firstColumnOfQuery(const xml::Node& node) {
  return textOrEmpty(node.selectSingleNode("descendant-or-self::*[@c]/@c"));
}

xml::Node lastLinedElementQuery(const xml::Node& node, bool includeSelf) {
  return node.selectSingleNode(includeSelf ? "descendant-or-self::*[@l][last()]" : "descendant::*[@l][last()]");
}

std::string lastSourceLineQuery(xml::Document& tree) {
  xml::NodeList lined = tree.root().selectNodes("//*[@l]");
  if (lined.empty()) return std::string();
  return lined.back().selectSingleNode("@l").text();
}

std::string sourceTextOfQuery(const xml::Node& node, const SourceLines& lines) {
  const int32_t sl = leadingInt(firstLineOfQuery(node));
  const int32_t sc = leadingInt(firstColumnOfQuery(node));
  xml::Node last = lastLinedElementQuery(node, true);
  const int32_t el = leadingInt(firstLineOfQuery(last));
  const int64_t ec = int64_t{leadingInt(firstColumnOfQuery(last))} +
                     static_cast<int64_t>(last.selectSingleNode("@t").text().size());
  return lines.span(sl, sc, el, static_cast<int32_t>(std::min<int64_t>(ec, INT32_MAX)));
}

std::string commentsBetweenQuery(xml::Document* comments, int32_t a, int32_t b) {
  if (!comments) return std::string();
  std::string joined;
  const std::string query = "//cmt[@l>" + std::to_string(a) + " and @l<" + std::to_string(b) + " ]";
  for (const xml::Node& element : comments->root().selectNodes(query)) {
    const std::string text = element.selectSingleNode("@t").text();
    if (text.empty()) continue;
    if (!joined.empty()) joined += kLineSeparator;
    joined += text;
  }
  return joined;
}

xml::Node methodNodeQuery(xml::Document& tree, const std::string& name, int32_t line) {
  const std::string l = std::to_string(line);
  if (name == "#Block#")
    return tree.root().selectSingleNode("//StaticInit[STATIC[@l=" + l + "]]|//NonStaticInit[Blk/OBR[@l=" + l + "]]");
  const std::string test = "[@l=" + l + " and @t=" + xpathLiteral(name) + "]]";
  return tree.root().selectSingleNode("//CtorDecln[CtorDeclr/IDEN" + test + "|//MtdDecln[MtdDeclr/IDEN" + test);
}

void QueryLookupCheck::firstLine(const xml::Node& node, const std::string& found) {
  expectSame(found, firstLineOfQuery(node), "firstLineOf");
}

void QueryLookupCheck::lastLine(const xml::Node& node, const std::string& found) {
  expectSame(found, lastLineOfQuery(node), "lastLineOf");
}

void QueryLookupCheck::lastLinedElement(const xml::Node& node, bool includeSelf, const xml::Node& found) {
  expectSame(found, lastLinedElementQuery(node, includeSelf), "last token");
}

void QueryLookupCheck::sourceText(const xml::Node& node, const SourceLines& lines, const std::string& found) {
  expectSame(found, sourceTextOfQuery(node, lines), "sourceTextOf");
}

void QueryLookupCheck::commentsBetween(xml::Document* comments, int32_t a, int32_t b, const std::string& found) {
  expectSame(found, commentsBetweenQuery(comments, a, b), "commentTextBetween");
}

void QueryLookupCheck::methodNode(xml::Document& tree, const std::string& name, int32_t line,
                                  const xml::Node& found) {
  expectSame(found, methodNodeQuery(tree, name, line), "findMethodNode");
}

void QueryLookupCheck::lastSourceLine(xml::Document& tree, const std::string& found) {
  expectSame(found, lastSourceLineQuery(tree), "lastSourceLine");
}

}  // namespace flowchart::testing
