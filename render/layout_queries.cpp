#include "render/layout_queries.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "frontends/dot/dot_parser.h"

namespace render {
namespace {

// A quoted string's piece that is a backslash-newline continuation.
constexpr std::string_view kContinuation = "\\\n";
// A quoted string's piece that stands for one double quote.
constexpr std::string_view kEscapedQuote = "\\\"";

constexpr std::string_view kPieces = "/STR_CON/@t";
constexpr std::string_view kAnyToken = "/child::*/@t";

// The value id of the attribute name on a node or edge statement.
std::string valueOf(std::string_view name) {
  std::string query = "attr_list/a_list[id/child::*[@t=\"";
  query += name;
  query += "\"]]/id[2]";
  return query;
}

std::string concat(std::string_view a, std::string_view b) {
  std::string out(a);
  out += b;
  return out;
}

// The text of what a fallback expression found.  The fallback is there for
// unquoted values; on a quoted value without content it finds the opening
// quote token, and such a value reads as empty.
std::string fallbackText(const xml::Node& found) {
  if (!found) return {};
  const xml::Node owner = found.isAttribute() ? found.parent() : found;
  if (owner) {
    const std::string token = owner.name();
    if (token == "STR_ST" || token == "STR_END") return {};
  }
  if (found.isAttribute()) return found.value();
  const xml::Node text = found.selectSingleNode("@t");
  return text ? text.value() : std::string();
}

// Joins the texts of pieces, dropping continuations; with escapedQuotes a
// backslash-quote piece becomes one double quote.
std::string joinPieces(const xml::NodeList& pieces, bool escapedQuotes) {
  std::string out;
  for (const xml::Node& piece : pieces) {
    const std::string text = piece.value();
    if (text == kContinuation) continue;
    if (escapedQuotes && text == kEscapedQuote) {
      out += '"';
      continue;
    }
    out += text;
  }
  return out;
}

// The first piece of a quoted value as the scanner would have cut it had
// the string not been continued: the plain runs up to the first escape,
// continuations left out.
std::string firstPiece(const xml::Node& firstFound) {
  const std::string first = firstFound.value();
  const xml::Node value = firstFound.parent().parent();
  if (first.find('\\') == std::string::npos && value.countNodes("STR_CON[2]") == 0) return first;
  std::string out;
  for (const xml::Node& piece : value.selectNodes("STR_CON/@t")) {
    const std::string text = piece.value();
    if (text == kContinuation) continue;
    if (!text.empty() && text[0] == '\\') {
      if (out.empty()) out = text;
      break;
    }
    out += text;
  }
  return out;
}

// Rule A: the first piece, else the fallback's text.
std::string readSingle(const xml::Node& context, const std::string& firstForm,
                       const std::string& fallback) {
  const xml::Node found = context.selectSingleNode(firstForm);
  if (found) return firstPiece(found);
  return fallbackText(context.selectSingleNode(fallback));
}

std::string readSingle(const xml::Node& context, std::string_view name) {
  const std::string value = valueOf(name);
  return readSingle(context, concat(value, kPieces), concat(value, kAnyToken));
}

// Rule B: rule A with surrounding double quotes removed.
std::string withoutQuotes(std::string text) {
  if (text.empty() || text[0] != '"') return text;
  return text.size() < 2 ? std::string() : text.substr(1, text.size() - 2);
}

std::string readUnquoted(const xml::Node& context, std::string_view name) {
  return withoutQuotes(readSingle(context, name));
}

// Rule C: every piece of the first form joined, else rule A on the fallback.
std::string readJoined(const xml::Node& context, std::string_view name) {
  const std::string value = valueOf(name);
  std::string joined = joinPieces(context.selectNodes(concat(value, kPieces)), true);
  if (!joined.empty()) return joined;
  return fallbackText(context.selectSingleNode(concat(value, kAnyToken)));
}

// Rule D: the pieces of a value that has any, else the fallback's text.
std::string readPresentPieces(const xml::Node& context, std::string_view name) {
  const std::string value = valueOf(name);
  const xml::Node quoted = context.selectSingleNode(value + "[STR_CON]");
  if (quoted) return joinPieces(quoted.selectNodes("STR_CON/@t"), true);
  return fallbackText(context.selectSingleNode(concat(value, kAnyToken)));
}

// Rule E: the texts of the selected children of the first form, joined.
std::string readChildren(const xml::Node& context, const std::string& firstForm,
                         std::string_view children) {
  const xml::Node found = context.selectSingleNode(firstForm);
  if (!found) return {};
  return joinPieces(found.selectNodes(concat(children, "/@t")), false);
}

constexpr std::string_view kGraphAttribute =
    "//attr_stmt/grp_nod_edg[GRAPH]/following-sibling::attr_list/a_list[id/child::*[1][@t=\"";

// Field index (from 0) of a bounding box "left,bottom,right,top": the text
// between the index-th and the next comma.  The last field ends at a double
// quote, the closing quote of a value read with its quote tokens.  A field
// the text does not have is empty.
std::string boxField(std::string_view box, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const size_t comma = box.find(',', start);
    if (comma == std::string_view::npos) return {};
    start = comma + 1;
  }
  std::string_view field = box.substr(start);
  field = field.substr(0, field.find(index == 3 ? '"' : ','));
  return std::string(field);
}

std::string graphBox(const xml::Node& document) {
  return readChildren(document, concat(kGraphAttribute, "bb\"]]/id[2]"), "child::*");
}

std::string clusterBox(const xml::Node& clusterStmt) {
  return readChildren(clusterStmt, "attr_stmt/attr_list/a_list[id/child::*[1][@t=\"bb\"]]/id[2]",
                      "child::STR_CON");
}

}  // namespace

void resetLayoutScale() {
  layoutScaleX = kLayoutUnitsPerInch;
  layoutScaleY = kLayoutUnitsPerInch;
}

double layoutNumber(std::string_view text) { return std::atof(std::string(text).c_str()); }

std::string layoutTreePath(std::string_view workFolder) { return concat(workFolder, "/out.xml"); }
std::string layoutStatusPath(std::string_view workFolder) { return concat(workFolder, "/err.xml"); }

std::unique_ptr<xml::Document> loadLayout(const std::string& layoutPath,
                                          const std::string& treePath,
                                          const std::string& statusPath) {
  std::error_code ec;
  std::filesystem::remove(treePath, ec);
  if (dotfront::parseDotFile(layoutPath, treePath, statusPath) != 0) return nullptr;
  // Line feeds stay in attribute values, so that continuations are seen.
  return xml::Document::loadFile(treePath, xml::LoadOptions{.keepAttributeWhitespace = true});
}

xml::NodeList dotNodes(const xml::Node& document) { return document.selectNodes("//node_stmt"); }
xml::NodeList dotEdges(const xml::Node& document) { return document.selectNodes("//edge_stmt"); }

xml::NodeList dotTryClusters(const xml::Node& document) {
  return document.selectNodes(
      "//stmt[attr_stmt[grp_nod_edg/GRAPH]/attr_list/a_list[id/child::*[@t=\"type\"]]"
      "/id[2]/child::*[@t=\"try\"]]");
}

std::string dotLabel(const xml::Node& nodeOrEdge) { return readJoined(nodeOrEdge, "label"); }

std::string dotNodeId(const xml::Node& node) {
  return readSingle(node, "node_id/id/STR_CON/@t", "node_id/id/child::*/@t");
}

std::string dotPosX(const xml::Node& nodeOrEdge) {
  const std::string pos = readUnquoted(nodeOrEdge, "pos");
  return pos.substr(0, pos.find(','));
}

std::string dotPosY(const xml::Node& nodeOrEdge) {
  const std::string pos = readSingle(nodeOrEdge, "pos");
  const size_t comma = pos.find(',');
  return comma == std::string::npos ? std::string() : pos.substr(comma + 1);
}

std::string dotWidth(const xml::Node& node) { return readUnquoted(node, "width"); }
std::string dotHeight(const xml::Node& node) { return readUnquoted(node, "height"); }

std::string dotTail(const xml::Node& edge) {
  return readSingle(edge, "nod_subgrp/node_id/id/STR_CON/@t", "nod_subgrp/node_id/id/child::*/@t");
}

std::string dotHead(const xml::Node& edge) {
  return readSingle(edge, "edgerhs/nod_subgrp/node_id/id/STR_CON/@t",
                    "edgerhs/nod_subgrp/node_id/id/child::*/@t");
}

std::string dotDir(const xml::Node& edge) { return readUnquoted(edge, "dir"); }
std::string dotTip(const xml::Node& edge) { return readSingle(edge, "tip"); }
std::string dotTailLabel(const xml::Node& edge) { return readJoined(edge, "taillabel"); }

std::string dotAttribute(const xml::Node& nodeOrEdge, std::string_view name) {
  return readJoined(nodeOrEdge, name);
}

std::string dotLast(const xml::Node& node) { return readSingle(node, "zarnlast"); }
std::string dotFrom(const xml::Node& edge) { return readSingle(edge, "zarnfrom"); }
std::string dotTo(const xml::Node& edge) { return readSingle(edge, "zarnto"); }

std::string dotConceptId(const xml::Node& node) { return readPresentPieces(node, "CONCEPTID"); }
std::string dotColor(const xml::Node& edge) { return readPresentPieces(edge, "color"); }

std::string dotParent(const xml::Node& document) {
  const std::string value = concat(kGraphAttribute, "parent\"]]/id[2]");
  const xml::Node quoted = document.selectSingleNode(value + "[STR_CON]");
  if (quoted) return joinPieces(quoted.selectNodes("child::STR_CON/@t"), false);
  return fallbackText(document.selectSingleNode(value + "/child::*"));
}

double dotGraphRight(const xml::Node& document) {
  return layoutNumber(boxField(graphBox(document), 2));
}

double dotGraphTop(const xml::Node& document) {
  return layoutNumber(boxField(graphBox(document), 3));
}

double dotClusterLeft(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 0));
}

double dotClusterBottom(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 1));
}

double dotClusterRight(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 2));
}

double dotClusterTop(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 3));
}

}  // namespace render
